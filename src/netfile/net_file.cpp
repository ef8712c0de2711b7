#include "netfile/net_file.h"

QString LoadNetFile(TQRVDesigner&, const QString&, QStringList*)
{
    return QStringLiteral("Reading net files is not available yet.");
}

QString SaveNetFile(const TQRVDesigner&, const QString&)
{
    return QStringLiteral("Writing net files is not available yet.");
}
