#pragma once

#include <QByteArray>
#include <QString>

// The simulator's end of a pseudo-terminal. The other end is a serial device
// like any other (/dev/pts/N); a symlink gives it a name that stays the same
// from run to run.
class CPseudoTerminal
{
public:
    CPseudoTerminal() = default;
    ~CPseudoTerminal();
    CPseudoTerminal(const CPseudoTerminal&) = delete;
    CPseudoTerminal& operator=(const CPseudoTerminal&) = delete;

    // Opens the pair and points strLink (if not empty) at the device.
    // On failure strError says why.
    bool Open(const QString& strLink, QString& strError);

    // Sends bytes without ever blocking: when nobody has read the device for
    // a while and its queue is full, the stale bytes are dropped first so the
    // reader gets the current fix when it comes back.
    bool Write(const QByteArray& data);

    // What was written to the device since the last call: commands a real
    // receiver would take, which a program that only listens never sends.
    QByteArray ReadSent();

    QString m_strDevice;
    QString m_strLink;

private:
    int m_nMaster = -1;
    int m_nSlave = -1;
};

// $XDG_RUNTIME_DIR/veltrip-sim, or /tmp/veltrip-sim-<uid> without it.
QString DefaultSimLink();
