#include "netfile/pnml.h"

#include "netfile/element_xml.h"

void ImportPnml(TQRVDesigner&, const QString& fileName, QStringList*)
{
    throw TNetFileError(QStringLiteral("Cannot read %1: PNML import is not available yet.").arg(fileName));
}

void ImportPnmlText(TQRVDesigner&, const QByteArray&, QStringList*)
{
    throw TNetFileError(QStringLiteral("PNML import is not available yet."));
}

void ExportPnml(const TQRVDesigner&, const QString& fileName)
{
    throw TNetFileError(QStringLiteral("Cannot write %1: PNML export is not available yet.").arg(fileName));
}

QByteArray ExportPnmlText(const TQRVDesigner&)
{
    return QByteArray();
}
