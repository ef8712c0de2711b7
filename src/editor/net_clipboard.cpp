#include "editor/net_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "editor/net_picture.h"
#include "model/designer.h"
#include "model/edits.h"
#include "model/net_fragment.h"

QMimeData* ElementsMimeData(const TQRVDesigner& designer, const QList<TQRVObject*>& selection)
{
    const QList<TQRVObject*> objects = FragmentObjects(designer, selection);
    if (objects.isEmpty())
        return nullptr;
    const QString text = FragmentText(objects);
    auto* data = new QMimeData;
    data->setData(NetFragmentMimeType, text.toUtf8());

    // The pictures show the elements alone, from their top-left corner.
    TQRVDesigner scratch;
    if (ReadFragment(scratch, text).isEmpty()) {
        const QRectF bounds = FragmentBounds(scratch);
        const double margin = 10;
        MoveFragment(scratch, margin - bounds.left(), margin - bounds.top());
        data->setData(QStringLiteral("image/svg+xml"), NetSvg(scratch, 1.0));
        const QImage image = NetImage(scratch, 1.0);
        if (!image.isNull())
            data->setImageData(image);
    }
    return data;
}

QString FragmentOf(const QMimeData* data)
{
    if (!data || !data->hasFormat(NetFragmentMimeType))
        return QString();
    return QString::fromUtf8(data->data(NetFragmentMimeType));
}

bool CopySelection(TQRVDesigner& designer)
{
    QMimeData* data = ElementsMimeData(designer, designer.Selection());
    if (!data)
        return false;
    QGuiApplication::clipboard()->setMimeData(data);
    return true;
}

bool CutSelection(TQRVDesigner& designer)
{
    const QList<TQRVObject*> selection = designer.Selection();
    if (!CopySelection(designer))
        return false;
    designer.Edits().Delete(selection, selection.size() == 1
                                           ? QStringLiteral("Cut ") + selection.first()->Name()
                                           : QStringLiteral("Cut %1 Objects").arg(selection.size()));
    return true;
}

bool ClipboardHasElements()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasFormat(NetFragmentMimeType);
}
