// A shown inspector on a test container, and the mouse and key steps the tests use.
#pragma once

#include <gtest/gtest.h>

#include <QTest>

#include <memory>

#include "editor/property_inspector.h"
#include "test_support.h"

class InspectorFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        inspector = std::make_unique<TfmPropertyInspector>(designer);
        inspector->resize(320, 480);
        inspector->show();
        list = inspector->List();
    }
    void TearDown() override { inspector.reset(); }

    template <class T> T* Add(const QString& name)
    {
        auto* o = new T(&designer);
        o->SetNameDirect(name);
        designer.InsertObject(o);
        return o;
    }
    void Select(const QList<TQRVObject*>& objects)
    {
        designer.SetSelection(objects);
        designer.Modified();
    }
    QStringList Names() const
    {
        QStringList names;
        for (int i = 0; i < list->RowCount(); ++i)
            names << list->Row(i).Path;
        return names;
    }
    int RowOf(const QString& path) const
    {
        const int row = list->FindRow(path);
        EXPECT_GE(row, 0) << path.toStdString();
        return row;
    }
    QString Value(const QString& path) const { return list->RowValue(RowOf(path)); }
    void Click(const QString& path)
    {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->NameRect(RowOf(path)).center());
    }
    // Clicks the row, then types `text` over its value and presses Enter.
    void Type(const QString& path, const QString& text)
    {
        Click(path);
        list->Edit()->selectAll();
        QTest::keyClicks(list->Edit(), text);
        QTest::keyClick(list->Edit(), Qt::Key_Return);
    }
    void DoubleClickValue(const QString& path)
    {
        Click(path);
        QTest::mouseDClick(list->Edit(), Qt::LeftButton, {}, list->Edit()->rect().center());
        QTest::mouseRelease(list->Edit(), Qt::LeftButton, {}, list->Edit()->rect().center());
    }
    void ClickMark(const QString& path)
    {
        const int row = RowOf(path);
        const QRect r = list->NameRect(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          QPoint(list->RowLevel(row) * 12 + 6, r.center().y()));
    }

    TTestDesigner designer;
    std::unique_ptr<TfmPropertyInspector> inspector;
    TPropListBox* list = nullptr;
};
