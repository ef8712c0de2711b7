#include "model/obj_size.h"

#include <QMetaEnum>

#include "netfile/element_xml.h"
#include "netfile/xml_tree.h"

QString ObjSizeName(Qrv::TObjSize size)
{
    return QString::fromLatin1(QMetaEnum::fromType<Qrv::TObjSize>().valueToKey(size));
}

bool ParseObjSize(const QString& text, Qrv::TObjSize& size)
{
    const QMetaEnum e = QMetaEnum::fromType<Qrv::TObjSize>();
    for (int i = 0; i < e.keyCount(); ++i) {
        if (text.compare(QLatin1String(e.key(i)), Qt::CaseInsensitive) == 0) {
            size = static_cast<Qrv::TObjSize>(e.value(i));
            return true;
        }
    }
    return false;
}

Qrv::TObjSize ReadObjSize(const TqibXMLNode& element)
{
    const TqibXMLAttribute& a = RequiredAttribute(element, QStringLiteral("size"));
    Qrv::TObjSize size = Qrv::osNormal;
    if (!ParseObjSize(a.Value, size))
        ThrowElementError(element, QStringLiteral("the attribute \"size\": '%1' is not a size").arg(a.Value));
    return size;
}
