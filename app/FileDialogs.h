#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Filters as the file dialogs list them, "Description|pattern|...||".
inline constexpr const char* FILTER_MAP = "Bitmap (*.bmp)|*.bmp||";

// One Qt name filter per description and pattern pair.
QStringList NameFilters(const char* szFilter);

// The track formats as File Open lists them, with all of them last, and as
// File Save lists them.
QStringList OpenTrackFilters();
QStringList SaveTrackFilters();

// The dialogs start in "\Storage card\GPS\". Each returns the chosen host
// path, or an empty string when the user cancels.
QString PromptOpenTrack(QWidget* pParent);
// Adds the extension of the chosen filter to a name typed without one, and
// asks before an existing file is overwritten.
QString PromptSaveTrack(QWidget* pParent);
QString PromptOpenMap(QWidget* pParent);
