#include "netfile/pnml.h"

#include <QFile>
#include <QFileInfo>

#include "model/safe_save.h"
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
    const QString error = SaveBytesSafely(fileName, bytes);
    if (!error.isEmpty())
        throw TNetFileError(error);
}
