// The start-up floor: a bare main window with the program's client size, its
// menu bar and an empty status bar, and nothing else. Like the program, it
// leaves after its first paint through the probe the benchmark preloads.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

namespace
{

// The program's client area, in twips.
constexpr int kClientWidthTwips = 6390;
constexpr int kClientHeightTwips = 5820;

class Floor : public QMainWindow
{
public:
    Floor()
    {
        auto* client = new QWidget(this);
        client->setFixedSize(kClientWidthTwips * client->logicalDpiX() / 1440,
                             kClientHeightTwips * client->logicalDpiY() / 1440);
        setCentralWidget(client);
        // The program's own menu bar, captions and items, in Qt's default font.
        QMenuBar* bar = menuBar();
        bar->addMenu(QStringLiteral("ファイル(&F)"))->addAction(QStringLiteral("終了(&X)"));
        bar->addAction(QStringLiteral("編集(&E)"));
        QMenu* read = bar->addMenu(QStringLiteral("読み込み(&R)"));
        read->addAction(QStringLiteral("コンフィグレジスタ(&C)"));
        read->addAction(QStringLiteral("モードレジスタ(&M)"));
        read->addAction(QStringLiteral("EEPROM(&E)"));
        bar->addMenu(QStringLiteral("ヘルプ(&H)"))->addAction(QStringLiteral("バージョン情報(&A)"));
        statusBar();
        adjustSize();
        setFixedSize(sizeHint());
    }
};

}  // namespace

int main(int argc, char* argv[])
{
    QApplication a(argc, argv);
    Floor w;
    w.show();
    return a.exec();
}
