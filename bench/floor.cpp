// The start-up floor: a bare main window with the program's client size, its
// menu bar and an empty status bar, and nothing else. Like the program, it
// leaves after its first paint through the probe the benchmark preloads.
#include "floor_menus.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

namespace
{

class Floor : public QMainWindow
{
public:
    Floor()
    {
        auto* client = new QWidget(this);
        client->setFixedSize(bench::floor::kClientWidthTwips * client->logicalDpiX() / 1440,
                             bench::floor::kClientHeightTwips * client->logicalDpiY() / 1440);
        setCentralWidget(client);
        // The program's own menu bar, captions and items, in Qt's default font.
        QMenuBar* bar = menuBar();
        QMenu* open = nullptr;
        for (const auto& entry : bench::floor::kMenus)
        {
            const QString caption = QString::fromUtf8(entry.caption);
            if (entry.item)
                open->addAction(caption);
            else if (&entry + 1 != std::end(bench::floor::kMenus) && (&entry + 1)->item)
                open = bar->addMenu(caption);
            else
                bar->addAction(caption);
        }
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
