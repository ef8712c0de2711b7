#include "model/class_registry.h"

#include <QMetaObject>

#include "model/qrv_object.h"

QString TQRVClassInfo::ClassName() const
{
    return Meta ? QString::fromLatin1(Meta->className()) : QString();
}

QString TQRVClassInfo::Hint() const
{
    QString name = ClassName();
    if (name.startsWith(QLatin1Char('T')))
        name.remove(0, 1);
    return Words.isEmpty() ? name : Words + QStringLiteral(" (") + name + QLatin1Char(')');
}

bool TQRVClassInfo::Is(const TQRVObject* object) const
{
    return object && object->metaObject() == Meta;
}

TQRVClassRegistry& TQRVClassRegistry::Instance()
{
    static TQRVClassRegistry registry;
    return registry;
}

TQRVClassRegistry::~TQRVClassRegistry()
{
    qDeleteAll(m_entries);
}

void TQRVClassRegistry::Register(const QString& page, const QMetaObject* meta,
                                 TQRVObject* (*create)(TQRVDesigner*), const QString& words)
{
    for (const TQRVClassInfo* e : m_entries)
        if (e->Meta == meta)
            return;
    auto* e = new TQRVClassInfo;
    e->Page = page;
    e->Meta = meta;
    e->Create = create;
    e->Words = words;
    m_entries.append(e);
}

const TQRVClassInfo* TQRVClassRegistry::Find(const QString& className) const
{
    for (const TQRVClassInfo* e : m_entries)
        if (e->ClassName() == className)
            return e;
    return nullptr;
}

QStringList TQRVClassRegistry::Pages() const
{
    QStringList pages;
    for (const TQRVClassInfo* e : m_entries)
        if (!pages.contains(e->Page))
            pages << e->Page;
    return pages;
}

QList<const TQRVClassInfo*> TQRVClassRegistry::PageEntries(const QString& page) const
{
    QList<const TQRVClassInfo*> list;
    for (const TQRVClassInfo* e : m_entries)
        if (e->Page == page)
            list << e;
    return list;
}
