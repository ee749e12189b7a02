// Writes a PNG of the whole X screen it is started on. scripts/run.sh uses it
// to show what the program looks like when there is no display to open it on.
// With --painted it also fails unless something was drawn on the screen: an
// empty X screen is one colour, a window with text and frames has many, so
// the package check can wait for the program's window to appear.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstring>
#include <set>

namespace
{

// Anti-aliased text alone brings more shades than this; a bare screen has one.
constexpr std::size_t kPaintedColours = 16;

std::size_t distinctColours(const QImage& image)
{
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (colours.insert(image.pixel(x, y)).second && colours.size() >= kPaintedColours)
                return colours.size();
    return colours.size();
}

}  // namespace

int main(int argc, char* argv[])
{
    const bool painted = argc == 3 && std::strcmp(argv[1], "--painted") == 0;
    if (argc != 2 && !painted)
    {
        std::fprintf(stderr, "usage: %s [--painted] FILE.png\n", argv[0]);
        return 2;
    }
    const char* file = argv[argc - 1];
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
    {
        std::fprintf(stderr, "%s: no screen\n", argv[0]);
        return 1;
    }
    const QImage shot = screen->grabWindow(0).toImage();
    if (!shot.save(QString::fromLocal8Bit(file)))
    {
        std::fprintf(stderr, "%s: could not write %s\n", argv[0], file);
        return 1;
    }
    if (painted && distinctColours(shot) < kPaintedColours)
    {
        std::fprintf(stderr, "%s: nothing painted on the screen yet\n", argv[0]);
        return 3;
    }
    return 0;
}
