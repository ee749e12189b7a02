// What only the Qt back end decides: which faces Qt picks, the widgets behind
// the controls, Qt's own text-input roads. The form suites leave these out.
#include "AppFixture.h"
#include "IoPanelTesting.h"
#include "UiHelpers.h"
#include "ui/qt/QtBackend.h"
#include "ui/qt/SSTab.h"
#include "ui/qt/fonts.h"
#include "frmConWr.h"
#include "frmIntrStat.h"
#include "version.h"

#include <QAction>
#include <QClipboard>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTabBar>
#include <QTest>

using Calls = std::vector<LibCall>;
using ui::qt::pgothicFont;
using ui::qt::widgetOf;

namespace
{

QMainWindow* mainWindow(const Tavrinmain& w)
{
    return static_cast<QMainWindow*>(ui::qt::windowOf(&w.form()));
}
QAction* action(const ui::MenuItem* item) { return ui::qt::actionOf(item); }

}  // namespace

class QtStartUp : public AppFixture
{
};

TEST_F(QtStartUp, DumpFontIsFixedPitch)
{
    Tavrinmain& w = startProgram();
    const QFontInfo info(widgetOf(w.picDump)->font());
    EXPECT_TRUE(info.family().startsWith(QStringLiteral("IPA"))) << info.family().toStdString();
    const QFontMetricsF fm(widgetOf(w.picDump)->font());
    EXPECT_DOUBLE_EQ(fm.horizontalAdvance(QStringLiteral("0")), fm.horizontalAdvance(QStringLiteral("F")));
}

// Every caption is drawn in the window's proportional face, the tab strip and
// the menu bar included: neither a style sheet nor the default font may swap
// in a Latin face that borrows the kana.
TEST_F(QtStartUp, CaptionsUseTheProportionalFace)
{
    Tavrinmain& w = startProgram();
    const QString face = QFontInfo(pgothicFont()).family();
    for (QWidget* c : std::initializer_list<QWidget*>{
             widgetOf(w.Label1), widgetOf(w.btnEnd), widgetOf(w.Frame1), widgetOf(w.StatusBar1),
             mainWindow(w)->menuBar(), dynamic_cast<ui::qt::SSTab*>(w.SSTab1)->tabBar()})
        EXPECT_EQ(QFontInfo(c->font()).family().toStdString(), face.toStdString())
            << c->metaObject()->className();
}

TEST_F(QtStartUp, MenusAreInOrderWithTheirAccelerators)
{
    Tavrinmain& w = startProgram();
    QStringList top;
    for (QAction* a : mainWindow(w)->menuBar()->actions())
        top << a->text();
    EXPECT_EQ(top, (QStringList{"ファイル(&F)", "編集(&E)", "読み込み(&R)", "ヘルプ(&H)"}));
    QStringList read;
    for (QAction* a : action(w.menuRead)->menu()->actions())
        read << a->text();
    EXPECT_EQ(read, (QStringList{"コンフィグレジスタ(&C)", "モードレジスタ(&M)", "EEPROM(&E)"}));
    EXPECT_EQ(action(w.menuF_End)->text(), QStringLiteral("終了(&X)"));
    EXPECT_EQ(action(w.menuH_Ver)->text(), QStringLiteral("バージョン情報(&A)"));
    // "編集" is a bare entry: nothing opens under it.
    EXPECT_EQ(action(w.menuEdit)->menu(), nullptr);
}

// The dialogs' faces and what Qt draws behind their labels.
class QtDialogs : public AppFixture
{
};

TEST_F(QtDialogs, AboutLinesAreInTheFormsFaceAndFitTheirLabels)
{
    version about;
    EXPECT_DOUBLE_EQ(widgetOf(about.Label2)->font().pointSizeF(), 11.25);
    for (ui::Label* label : {about.Label1, about.Label2, about.Label3, about.Label4})
    {
        const QWidget* l = widgetOf(label);
        EXPECT_LE(QFontMetrics(l->font()).horizontalAdvance(QString::fromStdString(label->text())),
                  l->width())
            << label->text();
    }
}

TEST_F(QtDialogs, InterruptStatusValuesAreFixedPitchInTheirWhitePanels)
{
    frmIntrStat form;
    const std::pair<ui::Label*, ui::PictureBox*> placed[] = {{form.lblHan, form.Picture1},
                                                             {form.lblNum, form.Picture2},
                                                             {form.lblIrq, form.Picture3},
                                                             {form.lblPls, form.Picture4},
                                                             {form.lblNext, form.Picture5}};
    for (const auto& [label, box] : placed)
    {
        QWidget* value = widgetOf(label);
        QWidget* panel = widgetOf(box);
        EXPECT_EQ(value->parentWidget(), panel) << value->objectName().toStdString();
        EXPECT_DOUBLE_EQ(value->font().pointSizeF(), 11.25);
        const QFontMetricsF fm(value->font());
        EXPECT_DOUBLE_EQ(fm.horizontalAdvance(QStringLiteral("1")),
                         fm.horizontalAdvance(QStringLiteral("F")));
        EXPECT_EQ(panel->grab().toImage().pixel(2, 2) & 0xFFFFFF, kWhite);
    }
    // The two-line title is not cut off.
    const QWidget* title = widgetOf(form.Label5);
    EXPECT_GE(title->height(), 2 * QFontMetrics(title->font()).height());
}

TEST_F(QtDialogs, WriteDialogsUseTheDesignedFaceOrItsStandIn)
{
    Tavrinmain& w = startProgram();
    frmConWr f(w);
    EXPECT_EQ(widgetOf(f.Label1)->font().pointSizeF(), 11.25);
    // The designed face, or its stand-in where the machine lacks it.
    const QString family = widgetOf(f.picData)->font().family();
    EXPECT_TRUE(family == QStringLiteral("ＭＳ ゴシック") || family == QStringLiteral("IPAGothic"))
        << family.toStdString();
}

// The pulse-count box as the Qt text box it is: its face, the control
// characters Qt puts in editing keys, and the roads text takes in besides typing.
class QtPulseCountBox : public IoPanelFixture
{
protected:
    QLineEdit* box() const { return static_cast<QLineEdit*>(widgetOf(w->txtPls)); }
    // A user's click into the box. The window manager would give the window
    // back its activation when a message box closes; offscreen, the test does.
    void enterBox()
    {
        driver::activate(w->form());
        QTest::mouseClick(box(), Qt::LeftButton);
        ASSERT_TRUE(box()->hasFocus());
    }
};

TEST_F(QtPulseCountBox, UsesTheFixedFont)
{
    EXPECT_DOUBLE_EQ(box()->font().pointSizeF(), 14.25);
    const QFontMetricsF fm(box()->font());
    EXPECT_DOUBLE_EQ(fm.horizontalAdvance(QStringLiteral("1")), fm.horizontalAdvance(QStringLiteral("8")));
}

// Editing keys as a real keyboard sends them, with the control character the
// platform puts in their text: they edit the box and never reach the filter.
TEST_F(QtPulseCountBox, EditingKeysWithTheirControlCharactersEditTheBox)
{
    const auto press = [this](Qt::Key k, const char* text, Qt::KeyboardModifiers m = {})
    { QTest::sendKeyEvent(QTest::Click, box(), k, QString::fromLatin1(text), m); };
    enterBox();
    QTest::keyClick(box(), Qt::Key_End);
    QTest::keyClicks(box(), QStringLiteral("5"));
    ASSERT_EQ(box()->text(), QStringLiteral("1005"));
    QTest::keyClick(box(), Qt::Key_Home);
    press(Qt::Key_Delete, "\x7f");
    EXPECT_EQ(box()->text(), QStringLiteral("005"));
    press(Qt::Key_Z, "\x1a", Qt::ControlModifier);
    EXPECT_EQ(box()->text(), QStringLiteral("1005"));
    press(Qt::Key_A, "\x01", Qt::ControlModifier);
    press(Qt::Key_X, "\x18", Qt::ControlModifier);
    EXPECT_EQ(box()->text(), QString());
    press(Qt::Key_V, "\x16", Qt::ControlModifier);
    QTest::keyClick(box(), Qt::Key_Left);
    press(Qt::Key_Backspace, "\b");
    EXPECT_EQ(box()->text(), QStringLiteral("105"));
    QTest::keyClick(box(), Qt::Key_Home);
    press(Qt::Key_Delete, "\x7f");
    lib().calls.clear();
    driver::click(w->btnIntOpen);
    EXPECT_EQ(lib().callsTo("TavrinOpenIntr"), (Calls{{"TavrinOpenIntr", {0, 5}}}));
}

TEST_F(QtPulseCountBox, PastedDroppedAndComposedTextKeepsOnlyItsDigits)
{
    box()->clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("4a-2.5"));
    QTest::keyClick(box(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box()->text(), QStringLiteral("425"));

    box()->clear();
    QMimeData dragged;
    dragged.setText(QStringLiteral("-1x6"));
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &dragged, Qt::LeftButton, {});
    QCoreApplication::sendEvent(box(), &enter);
    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &dragged, Qt::LeftButton, {});
    QCoreApplication::sendEvent(box(), &drop);
    EXPECT_EQ(box()->text(), QStringLiteral("16"));

    box()->clear();
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("7ー８9"));
    QCoreApplication::sendEvent(box(), &composed);
    EXPECT_EQ(box()->text(), QStringLiteral("79"));
}
