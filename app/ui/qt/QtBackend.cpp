#include "ui/qt/QtBackend.h"

#include "ui/qt/CommandButton.h"
#include "ui/qt/ListBox.h"
#include "ui/qt/PictureBox.h"
#include "ui/qt/SSTab.h"
#include "ui/qt/TextBox.h"
#include "ui/qt/fonts.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <cmath>
#include <map>
#include <vector>

namespace ui::qt
{

int twipsToPx(const QWidget* w, double twips) { return int(std::lround(twips * w->logicalDpiX() / 1440.0)); }

void setClientSizeTwips(QWidget* w, int widthTwips, int heightTwips)
{
    w->setFixedSize(twipsToPx(w, widthTwips), twipsToPx(w, heightTwips));
}

namespace
{

class Label : public Bound<QLabel, ui::Label>
{
public:
    using Bound::Bound;
    void setText(const std::string& text) override { QLabel::setText(toQ(text)); }
    std::string text() const override { return fromQ(QLabel::text()); }
};

class Frame : public Bound<QGroupBox, ui::Frame>
{
public:
    using Bound::Bound;
};

class Panel : public Bound<QFrame, ui::Frame>
{
public:
    using Bound::Bound;
};

class StatusBar : public Bound<QStatusBar, ui::StatusBar>
{
public:
    explicit StatusBar(QWidget* parent) : Bound(parent), panel_(new QLabel(this))
    {
        setSizeGripEnabled(false);
        panel_->setObjectName(QStringLiteral("panel1"));
        addWidget(panel_, 1);
    }
    void setText(const std::string& text) override { panel_->setText(toQ(text)); }
    std::string text() const override { return fromQ(panel_->text()); }

private:
    QLabel* panel_;
};

class MenuAction : public ui::MenuItem
{
public:
    explicit MenuAction(QAction* action) : action_(action)
    {
        QObject::connect(action, &QAction::triggered,
                         [this]
                         {
                             if (onClick)
                                 onClick();
                         });
    }
    QAction* action() const { return action_; }

private:
    QAction* action_;
};

// Each control gets its font before its caption, so the caption is measured
// and laid out once, in the face it is shown in, not first in the default one.
QWidget* makeControl(const ControlSpec& s, QWidget* parent)
{
    const QString caption = QString::fromUtf8(s.caption ? s.caption : "");
    const QFont font = s.face == Face::Gothic ? gothicFont(s.points) : pgothicFont(s.points);
    const auto withFont = [&font](auto* w)
    {
        w->setFont(font);
        return w;
    };
    switch (s.kind)
    {
        case Ctl::Label:
        {
            auto* l = withFont(new Label(parent));
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            l->setWordWrap(true);
            l->QLabel::setText(caption);
            return l;
        }
        case Ctl::ListBox:
            return withFont(new ListBox(parent));
        case Ctl::PictureBox:
            return withFont(new PictureBox(parent));
        case Ctl::Panel:
        {
            auto* f = withFont(new Panel(parent));
            f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            return f;
        }
        case Ctl::Frame:
        {
            auto* g = withFont(new Frame(parent));
            g->setTitle(caption);
            return g;
        }
        case Ctl::Button:
        {
            auto* b = withFont(new CommandButton(parent));
            b->QPushButton::setText(caption);
            return b;
        }
        case Ctl::TabControl:
            return withFont(new SSTab(2, parent));
        case Ctl::TextBox:
        {
            auto* t = withFont(new TextBox(parent));
            t->QLineEdit::setText(caption);
            return t;
        }
        case Ctl::StatusBar:
            return withFont(new StatusBar(parent));
    }
    return nullptr;
}

class QtForm;

// The window behind a form, whichever kind it is, knows its form.
struct FormWindow
{
    virtual ~FormWindow() = default;
    QtForm* form = nullptr;
};

class MainWindow : public QMainWindow, public FormWindow
{
protected:
    void closeEvent(QCloseEvent* e) override;
};

class DialogWindow : public QDialog, public FormWindow
{
public:
    explicit DialogWindow(QWidget* parent) : QDialog(parent) {}
};

class QtForm : public Form
{
public:
    QtForm(const FormDesign& design, const Form* parent)
    {
        QWidget* client = nullptr;
        if (design.kind == FormKind::Main)
        {
            auto* w = new MainWindow;
            w->form = this;
            window_ = w;
            client = new QWidget(w);
            w->setCentralWidget(client);
        }
        else
        {
            auto* w = new DialogWindow(parent ? windowOf(parent) : nullptr);
            w->form = this;
            window_ = w;
            client = w;
        }
        window_->setWindowTitle(QString::fromStdString(design.caption));
        setClientSizeTwips(client, design.clientWidth, design.clientHeight);
        makeControls(client, design.controls);
        if (design.kind == FormKind::Main)
        {
            auto* w = static_cast<MainWindow*>(window_);
            makeMenus(w->menuBar(), design.menus);
            w->adjustSize();
            w->setFixedSize(w->sizeHint());
        }
    }

    ~QtForm() override { delete window_; }

    Control* find(std::string_view name) const override
    {
        const auto it = controls_.find(std::string(name));
        return it == controls_.end() ? nullptr : it->second;
    }

    MenuItem* menu(std::string_view name) const override
    {
        const auto it = menus_.find(std::string(name));
        return it == menus_.end() ? nullptr : it->second.get();
    }

    std::string caption() const override { return window_->windowTitle().toStdString(); }
    void show() override { window_->show(); }
    bool isVisible() const override { return window_->isVisible(); }

    void showModal() override
    {
        if (auto* d = dynamic_cast<QDialog*>(window_))
            d->exec();
    }

    void close() override
    {
        if (auto* d = dynamic_cast<QDialog*>(window_))
            d->done(QDialog::Accepted);
        else
            window_->close();
    }

    void setTabOrder(std::initializer_list<Control*> order) override
    {
        QWidget* previous = nullptr;
        for (Control* c : order)
        {
            QWidget* w = widgetOf(c);
            if (previous)
                QWidget::setTabOrder(previous, w);
            previous = w;
        }
        if (order.size() != 0)
            widgetOf(*order.begin())->setFocus();
    }

    QWidget* window() const { return window_; }

private:
    void makeControls(QWidget* client, std::span<const ControlSpec> table)
    {
        QHash<QString, QWidget*> widgets;
        for (const ControlSpec& s : table)
        {
            QWidget* parent = client;
            const QString container = QString::fromLatin1(s.container);
            if (!container.isEmpty())
            {
                const QStringList parts = container.split(QLatin1Char(':'));
                parent = widgets.value(parts.at(0));
                Q_ASSERT_X(parent, "QtForm", s.container);
                if (parts.size() > 1)
                    parent = static_cast<SSTab*>(parent)->page(parts.at(1).toInt());
            }
            QWidget* w = makeControl(s, parent);
            w->setObjectName(QString::fromLatin1(s.name));
            w->setGeometry(twipsToPx(client, s.left), twipsToPx(client, s.top), twipsToPx(client, s.width),
                           twipsToPx(client, s.height));
            widgets.insert(w->objectName(), w);
            controls_[s.name] = dynamic_cast<Control*>(w);
        }
    }

    // The menus are Japanese like the rest of the window and use its
    // proportional face; in the default Latin face every caption first sent
    // the font matcher searching for a face with the kana and kanji.
    void makeMenus(QMenuBar* bar, std::span<const MenuSpec> table)
    {
        if (table.empty())
            return;
        bar->setFont(pgothicFont());
        std::vector<QMenu*> menus;
        for (const MenuSpec& entry : table)
        {
            if (*entry.parent)
                continue;
            const QString caption = QString::fromUtf8(entry.caption);
            bool hasItems = false;
            for (const MenuSpec& item : table)
                hasItems = hasItems || std::string_view(item.parent) == entry.name;
            if (!hasItems)
            {
                menus_[entry.name] = std::make_unique<MenuAction>(bar->addAction(caption));
                continue;
            }
            QMenu* menu = bar->addMenu(caption);
            menus_[entry.name] = std::make_unique<MenuAction>(menu->menuAction());
            for (const MenuSpec& item : table)
                if (std::string_view(item.parent) == entry.name)
                    menus_[item.name] =
                        std::make_unique<MenuAction>(menu->addAction(QString::fromUtf8(item.caption)));
            menus.push_back(menu);
        }
        for (QMenu* menu : menus)
            menu->setFont(pgothicFont());
    }

    QWidget* window_ = nullptr;
    std::map<std::string, Control*> controls_;
    std::map<std::string, std::unique_ptr<MenuAction>> menus_;
};

void MainWindow::closeEvent(QCloseEvent* e)
{
    if (form && form->onCloseBox)
        form->onCloseBox();
    e->accept();
}

}  // namespace

std::unique_ptr<Form> QtBackend::createForm(const FormDesign& design, const Form* parent)
{
    return std::make_unique<QtForm>(design, parent);
}

Answer QtBackend::messageBox(const MessageBoxSpec& message)
{
    const QMessageBox::StandardButtons buttons =
        message.buttons == Buttons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok;
    QMessageBox box(message.icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                    QString::fromStdString(message.caption), QString::fromStdString(message.text), buttons,
                    message.parent ? windowOf(message.parent) : nullptr);
    if (message.defaultButton == Answer::Ok)
        box.setDefaultButton(QMessageBox::Ok);
    else if (message.defaultButton == Answer::Cancel)
        box.setDefaultButton(QMessageBox::Cancel);
    switch (box.exec())
    {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Cancel:
            return Answer::Cancel;
        default:
            return Answer::None;
    }
}

void QtBackend::quit(int code) { QCoreApplication::exit(code); }

QWidget* widgetOf(const Control* control) { return dynamic_cast<QWidget*>(const_cast<Control*>(control)); }

QWidget* windowOf(const Form* form)
{
    const auto* f = dynamic_cast<const QtForm*>(form);
    return f ? f->window() : nullptr;
}

Form* formOf(const QWidget* window)
{
    const auto* w = dynamic_cast<const FormWindow*>(window);
    return w ? w->form : nullptr;
}

QAction* actionOf(const MenuItem* item)
{
    const auto* a = dynamic_cast<const MenuAction*>(item);
    return a ? a->action() : nullptr;
}

}  // namespace ui::qt
