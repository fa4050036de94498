#include "app/FileDialogs.h"

#include "platform/DevicePaths.h"
#include "track/TrackFormats.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace {

enum class EPrompt { OpenTrack, SaveTrack, OpenMap };

QString Prompt(QWidget* pParent, EPrompt kind)
{
    static const QRegularExpression PATTERN(QStringLiteral("\\(\\*\\.(\\w+)\\)"));
    QFileDialog dialog(pParent, QString(), HostPath(GPS_FOLDER));
    // Qt's own dialog on every desktop, so the default extension follows the
    // filter the same way everywhere.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(kind == EPrompt::SaveTrack ? SaveTrackFilters()
                          : kind == EPrompt::OpenMap ? NameFilters(FILTER_MAP)
                                                     : OpenTrackFilters());
    if (kind == EPrompt::SaveTrack) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (kind != EPrompt::OpenMap) {
        // The default extension follows the chosen filter.
        dialog.setDefaultSuffix(QStringLiteral("gpd"));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& strFilter) {
            const QRegularExpressionMatch m = PATTERN.match(strFilter);
            if (m.hasMatch())
                dialog.setDefaultSuffix(m.captured(1));
        });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

}

QStringList NameFilters(const char* szFilter)
{
    const QStringList parts = QString::fromLatin1(szFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        const QString strPattern = parts[i + 1];
        filters << (parts[i].contains(QLatin1Char('(') + strPattern + QLatin1Char(')'))
                        ? parts[i]
                        : parts[i] + QStringLiteral(" (") + strPattern + QLatin1Char(')'));
    }
    return filters;
}

QStringList OpenTrackFilters()
{
    QStringList filters;
    QStringList patterns;
    for (const CTrackFormat& format : TrackFormats()) {
        filters << QString::fromLatin1(format.szOpenFilter);
        patterns << QStringLiteral("*") + QLatin1String(format.szSuffix);
    }
    return filters << QStringLiteral("All supported (%1)").arg(patterns.join(QLatin1Char(' ')));
}

QStringList SaveTrackFilters()
{
    QStringList filters;
    for (const CTrackFormat& format : TrackFormats())
        filters << QString::fromLatin1(format.szSaveFilter);
    return filters;
}

QString PromptOpenTrack(QWidget* pParent)
{
    return Prompt(pParent, EPrompt::OpenTrack);
}

QString PromptSaveTrack(QWidget* pParent)
{
    return Prompt(pParent, EPrompt::SaveTrack);
}

QString PromptOpenMap(QWidget* pParent)
{
    return Prompt(pParent, EPrompt::OpenMap);
}
