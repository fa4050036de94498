#pragma once

#include <QString>

// The program keeps the handheld's names ("\Storage card\GPS\x.gpd", "COM4:")
// in its texts and settings; these translate them at the file boundary.

// Host folder that stands in for "\Storage card\": $VELTRIP_STORAGE_CARD when
// set, otherwise "$HOME/Storage card".
QString StorageCardFolder();

// A device path as the program writes it ("\Storage card\GPS\a.bmp") becomes a
// host path; any other name is returned with its backslashes made slashes.
QString HostPath(const QString& strDevicePath);

// "COMn:" (n from 1) names /dev/ttyS(n-1); any other name is a host device path.
QString SerialDevicePath(const QString& strPort);
