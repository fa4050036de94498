#pragma once

#include "platform/Outcome.h"

#include <QString>

// The program keeps the handheld's names ("\Storage card\GPS\x.gpd", "COM4:")
// in its texts and settings; these translate them at the file boundary.

// The folder of logs and maps, as the program names it.
inline const QString GPS_FOLDER = QStringLiteral("\\Storage card\\GPS\\");

// Host folder that stands in for "\Storage card\": $VELTRIP_STORAGE_CARD when
// set, otherwise "Storage card" in the home folder: $HOME when it names a
// folder, or else the one the password database gives the user. Empty when
// there is no home folder (see CheckStorageCard).
QString StorageCardFolder();

// Fails with "No home folder for the storage card: ..." when
// StorageCardFolder has none. The window and
// the tools that write on the card check it before they write anything, so
// that no log or folder ends up at the file system's root.
COutcome CheckStorageCard();

// A name on the handheld's storage card ("\Storage card\GPS\a.bmp", the
// prefix matched without regard to case) becomes a path in the host folder;
// any other name is a host path and is returned exactly as given. Without a
// storage card folder a card name is empty, which no file has.
QString HostPath(const QString& strDevicePath);

// The name the handheld would give a file: a device name stays as it is; a
// host file under the storage card folder becomes "\Storage card\" and the
// rest of its path; any other host file is known by its file name alone.
QString DeviceName(const QString& strPath);

// "COMn:" (n from 1) names /dev/ttyS(n-1); any other name is a host device path.
QString SerialDevicePath(const QString& strPort);
