// The registry of element classes: by page for the palette, by class name for
// reading net files.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QMetaObject;
class TQRVDesigner;
class TQRVObject;

struct TQRVClassInfo
{
    QString Page;
    // What the class is, in words ("Timed transition"); may be empty.
    QString Words;
    const QMetaObject* Meta = nullptr;
    TQRVObject* (*Create)(TQRVDesigner*) = nullptr;

    QString ClassName() const;
    // The palette's hint: the words with the class after them,
    // "Timed transition (clsTransTimed)"; the class alone without words.
    QString Hint() const;
    // Whether `object` is exactly of this class.
    bool Is(const TQRVObject* object) const;
};

class TQRVClassRegistry
{
public:
    static TQRVClassRegistry& Instance();

    // Appends the class under `page`; a class registered before is ignored.
    void Register(const QString& page, const QMetaObject* meta, TQRVObject* (*create)(TQRVDesigner*),
                  const QString& words = QString());
    template <class T> void Register(const QString& page, const QString& words = QString())
    {
        Register(
            page, &T::staticMetaObject, [](TQRVDesigner* d) -> TQRVObject* { return new T(d); }, words);
    }

    int Count() const { return m_entries.size(); }
    const TQRVClassInfo* Entry(int i) const { return m_entries.at(i); }
    // The class of that name (exact, as files write it), or none.
    const TQRVClassInfo* Find(const QString& className) const;
    template <class T> const TQRVClassInfo* Find() const
    {
        return Find(QString::fromLatin1(T::staticMetaObject.className()));
    }
    // Page names once each, in registration order.
    QStringList Pages() const;
    QList<const TQRVClassInfo*> PageEntries(const QString& page) const;

    ~TQRVClassRegistry();

private:
    TQRVClassRegistry() = default;
    QList<TQRVClassInfo*> m_entries;
};

// Registers the element classes of the program in palette order. Idempotent.
void RegisterStandardClasses();
