// The 3-D window, driven as a user does.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "chart_test_data.h"
#include "charts/surface_window.h"

TEST(SurfaceWindow, OpensWithTheInitialView)
{
    Tfm3dMath form(SweepData(5, 4, [](int i, int j) { return i * j; }));
    EXPECT_EQ(form.windowTitle(), "Average tokens count in ");
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form.Plot().RotY, 45);
    EXPECT_EQ(form.Plot().RotZ, 45);
    EXPECT_TRUE(form.FillBox()->isChecked());
    EXPECT_FALSE(form.AspectBox()->isChecked());
    for (const char* caption :
         {"up", "down", "left", "right", "in", "out", "Close", "Clipboard", "Save To File..."})
        EXPECT_NE(form.Button(caption), nullptr) << caption;
    EXPECT_TRUE(form.Button("up")->autoRepeat());
}

TEST(SurfaceWindow, AViewButtonChangesThePictureAndItsOppositeRestoresIt)
{
    Tfm3dMath form(SweepData(6, 5, [](int i, int j) { return i * i - j; }));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QImage initial = form.View()->grab().toImage();
    const QList<QPair<QString, QString>> opposites = {{"up", "down"}, {"left", "right"}, {"in", "out"}};
    for (const auto& [one, other] : opposites) {
        QTest::mouseClick(form.Button(one), Qt::LeftButton);
        EXPECT_NE(form.View()->grab().toImage(), initial) << one.toStdString();
        QTest::mouseClick(form.Button(other), Qt::LeftButton);
        EXPECT_EQ(form.View()->grab().toImage(), initial) << other.toStdString();
    }
    EXPECT_EQ(form.Plot().RotY, 45);
    QTest::mouseClick(form.Button("up"), Qt::LeftButton);
    EXPECT_EQ(form.Plot().RotY, 45.5);
    QTest::mouseClick(form.Button("left"), Qt::LeftButton);
    EXPECT_EQ(form.Plot().RotZ, 45.5);
    QTest::mouseClick(form.Button("in"), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(form.Plot().Zoom, 1.03);

    // "Fill" off draws the mesh only.
    const QImage filled = form.View()->grab().toImage();
    QTest::mouseClick(form.FillBox(), Qt::LeftButton, {}, QPoint(8, form.FillBox()->height() / 2));
    EXPECT_FALSE(form.Plot().Fill);
    EXPECT_NE(form.View()->grab().toImage(), filled);
}

TEST(SurfaceWindow, SaveToFileWritesAShapePerGridCell)
{
    QTemporaryDir dir;
    Tfm3dMath form(SweepData(7, 4, [](int i, int j) { return -i + j * 0.5; }));
    form.resize(700, 500);
    form.show();
    QStringList messages;
    form.MessageHook = [&](const QString& m) { messages << m; };
    form.AutoFileName = dir.filePath("surface.svg");
    QTest::mouseClick(form.Button("Save To File..."), Qt::LeftButton);
    QFile file(dir.filePath("surface.svg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(CountSvgElements(file.readAll(), "path"), 6 * 3);

    form.AutoFileName = dir.filePath("missing/surface.png");
    QTest::mouseClick(form.Button("Save To File..."), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Cannot write"));
}
