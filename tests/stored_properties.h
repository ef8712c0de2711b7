// Element classes made for tests store their published properties, so that
// the edit history sees what the tests change and can put it back.
#pragma once

#include <QDataStream>
#include <QIODevice>
#include <QMetaProperty>
#include <QVariant>

#include "model/qrv_object.h"
#include "netfile/element_xml.h"
#include "netfile/xml_tree.h"

// The first property an object stores: an element's name and group are
// common attributes.
inline int FirstStoredProperty(const QObject& object)
{
    return object.inherits("TQRVObject") ? TQRVObject::staticMetaObject.propertyCount()
                                         : QObject::staticMetaObject.propertyCount();
}

// Every writable published property as an attribute (its value streamed, in
// hexadecimal); sub-objects as child elements of the property's name. The
// evaluated value of formulas is left out.
inline void StoreProperties(const QObject& object, TqibXMLNode& element)
{
    const QMetaObject* mo = object.metaObject();
    for (int i = FirstStoredProperty(object); i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        if (!p.isReadable() || qstrcmp(p.name(), "Value_Actual") == 0)
            continue;
        const QVariant value = p.read(&object);
        if ((p.metaType().flags() & QMetaType::PointerToQObject) != 0) {
            if (const QObject* sub = value.value<QObject*>())
                StoreProperties(*sub, *element.AddNode(QString::fromLatin1(p.name())));
            continue;
        }
        if (!p.isWritable())
            continue;
        QByteArray bytes;
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream << value;
        element.AddAttribute(QString::fromLatin1(p.name()), QString::fromLatin1(bytes.toHex()));
    }
}

inline void RestoreProperties(QObject& object, const TqibXMLNode& element)
{
    const QMetaObject* mo = object.metaObject();
    for (const TqibXMLAttribute& a : element.Attributes()) {
        const int i = mo->indexOfProperty(a.Name.toLatin1().constData());
        if (i < FirstStoredProperty(object))
            continue;
        QVariant value;
        QDataStream stream(QByteArray::fromHex(a.Value.toLatin1()));
        stream >> value;
        mo->property(i).write(&object, value);
    }
    for (const TqibXMLNode* child : element.Nodes()) {
        const int i = mo->indexOfProperty(child->Name.toLatin1().constData());
        if (i >= 0)
            if (QObject* sub = mo->property(i).read(&object).value<QObject*>())
                RestoreProperties(*sub, *child);
    }
}

// The common attributes (name, position, size, group) and the published properties.
#define QRV_TEST_STORABLE                                                                                    \
    void SaveToXml(TqibXMLNode& element) const override                                                      \
    {                                                                                                        \
        SaveCommonAttributes(*this, element);                                                                \
        StoreProperties(*this, *element.AddNode(QStringLiteral("properties")));                              \
    }                                                                                                        \
    void LoadFromXml(const TqibXMLNode& element) override                                                    \
    {                                                                                                        \
        LoadCommonAttributes(*this, element);                                                                \
        if (const TqibXMLNode* p = element.GetNamedNode(QStringLiteral("properties")))                       \
            RestoreProperties(*this, *p);                                                                    \
    }
