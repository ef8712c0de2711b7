#include "netfile/pnml.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "netfile/element_xml.h"

void ImportPnml(TQRVDesigner& designer, const QString& fileName, QStringList* warnings)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw TNetFileError(QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString()));
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw TNetFileError(QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString()));
    ImportPnmlText(designer, text, warnings);
}

void ExportPnml(const TQRVDesigner& designer, const QString& fileName, QStringList* warnings)
{
    const QByteArray bytes = ExportPnmlText(designer, QFileInfo(fileName).completeBaseName(), warnings);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw TNetFileError(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()));
}
