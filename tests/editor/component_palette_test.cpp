// The palette: pages, buttons, scrolling, the pointer, glyph fallback.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "editor/component_palette.h"
#include "editor/palette_glyphs.h"
#include "model/class_registry.h"
#include "model/qrv_object.h"
#include "model/text.h"

namespace {

class TPaletteProbeA : public TQRVObject
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TPaletteProbeA(TQRVDesigner* d) : TQRVObject(d) {}
};

class TPaletteProbeB : public TQRVObject
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TPaletteProbeB(TQRVDesigner* d) : TQRVObject(d) {}
};

const QString kPage = QStringLiteral("PaletteProbe");

void registerProbes()
{
    auto& r = TQRVClassRegistry::Instance();
    r.Register<TPaletteProbeA>(kPage);
    r.Register<TPaletteProbeB>(kPage, QStringLiteral("Second probe"));
    r.Register<TPaletteProbeA>(kPage, QStringLiteral("Ignored")); // a second registration is ignored
}

} // namespace

TEST(ComponentPalette, ShowsTheButtonsOfAPageWithHints)
{
    registerProbes();
    EXPECT_EQ(TQRVClassRegistry::Instance().PageEntries(kPage).size(), 2);
    TComponentPalette palette;
    palette.resize(400, 28);
    palette.ShowPage(kPage);
    ASSERT_EQ(palette.ButtonCount(), 2);
    // Words first and the class after them; the class alone when there are no words.
    EXPECT_EQ(palette.Button(0)->toolTip(), "PaletteProbeA");
    EXPECT_EQ(palette.Button(1)->toolTip(), "Second probe (PaletteProbeB)");
    EXPECT_EQ(palette.SelectedClass(), nullptr);
    EXPECT_TRUE(palette.PointerButton()->isChecked());

    QSignalSpy chosen(&palette, &TComponentPalette::ClassChosen);
    palette.Button(1)->click();
    EXPECT_EQ(palette.SelectedClass()->ClassName(), "TPaletteProbeB");
    EXPECT_FALSE(palette.PointerButton()->isChecked());
    EXPECT_EQ(chosen.count(), 1);
    palette.ResetToPointer();
    EXPECT_EQ(palette.SelectedClass(), nullptr);
}

TEST(ComponentPalette, ButtonCountHasItsLimits)
{
    TComponentPalette palette;
    EXPECT_EQ(palette.SetButtonCount(101), "Invalid ButtonCount");
    EXPECT_EQ(palette.SetButtonCount(-1), "Invalid ButtonCount");
    EXPECT_EQ(palette.ButtonCount(), 0);
    EXPECT_EQ(palette.SetButtonCount(100), "");
    EXPECT_EQ(palette.ButtonCount(), 100);
    EXPECT_EQ(palette.SetButtonCount(3), "");
    EXPECT_EQ(palette.ButtonCount(), 3);
}

TEST(ComponentPalette, ANarrowPaletteScrolls)
{
    TComponentPalette palette;
    palette.SetButtonCount(10);
    // Room for the pointer, the two scroll buttons and three element buttons.
    palette.resize(28 + 24 + 3 * 28, 28);
    palette.show();
    EXPECT_FALSE(palette.LeftButton()->isEnabled());
    EXPECT_TRUE(palette.RightButton()->isEnabled());
    EXPECT_EQ(palette.Button(0)->x(), 28 + 18);
    EXPECT_EQ(palette.Button(3)->x(), -100);
    for (int i = 0; i < 7; ++i)
        palette.ScrollRight();
    EXPECT_EQ(palette.FirstVisible(), 7);
    EXPECT_FALSE(palette.RightButton()->isEnabled());
    EXPECT_TRUE(palette.LeftButton()->isEnabled());
    EXPECT_EQ(palette.Button(9)->x(), 28 + 18 + 2 * 28);
    palette.ScrollRight(); // nothing further
    EXPECT_EQ(palette.FirstVisible(), 7);
}

TEST(ComponentPalette, ClassesWithoutAPictureGetTheDefaultOne)
{
    EXPECT_TRUE(HasPaletteGlyph("TclsNodeDiscrete"));
    EXPECT_FALSE(HasPaletteGlyph("TPaletteProbeA"));
    const QImage fallback = PaletteGlyph("TPaletteProbeA").pixmap(24, 24).toImage();
    const QImage defaultGlyph = PaletteGlyph("TclsDEFAULT").pixmap(24, 24).toImage();
    EXPECT_EQ(fallback, defaultGlyph);
    EXPECT_NE(PaletteGlyph("TclsNodeDiscrete").pixmap(24, 24).toImage(), defaultGlyph);
}

#include "component_palette_test.moc"
