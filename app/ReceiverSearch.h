#pragma once

#include <QString>

class QWidget;

// The receiver probe behind a small progress window with Cancel: it runs on
// a worker thread while the window's events go on, and the window says
// where it looks. True with strPort and nBaudRate (0: the probe found a
// network source, whose rate does not matter) when a receiver answered.
bool SearchReceiverWithProgress(QWidget* pParent, QString& strPort, int& nBaudRate);
