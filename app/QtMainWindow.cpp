#include "app/QtMainWindow.h"

#include <sys/eventfd.h>
#include <unistd.h>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include "text/CodePage.h"

namespace jdsm {

namespace {

// Texts cross the window interface in code page 936 with CR LF line breaks; Qt's edit boxes hold
// UTF-16 with LF. A lone CR also breaks the line in Qt, so it becomes LF here and CR LF on the way
// back; the copy of the log kept for readers then matches the box byte for byte.
QString toQString(const Text& text) {
    const std::u16string wide = codepage::localToWide(text.view());
    QString s = QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

Text toLocal(QString s) {
    s.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    s.replace(QChar::LineSeparator, QLatin1Char('\n'));
    s.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return Text(codepage::wideToLocal(
        std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size()))));
}

QString formName(Control control) {
    return QString::fromUtf8(controlObjectName(control));
}

// Drops the oldest lines so that at most `cap` CR LF remain: the rule QPlainTextEdit applies with a
// maximum block count of cap + 1.
Text keepNewestLines(const Text& text, int32_t cap) {
    std::string_view s = text.view();
    size_t breaks = 0;
    for (size_t at = s.find("\r\n"); at != std::string_view::npos; at = s.find("\r\n", at + 2))
        ++breaks;
    if (breaks <= static_cast<size_t>(cap)) return text;
    size_t drop = breaks - static_cast<size_t>(cap);
    size_t at = 0;
    while (drop-- > 0)
        at = s.find("\r\n", at) + 2;
    return Text(s.substr(at));
}

}  // namespace

QtMainWindow::QtMainWindow(Events events, int32_t logLineCap)
    : events_(std::move(events)), logLineCap_(logLineCap), windowThread_(std::this_thread::get_id()) {
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    executableName_ = toLocal(exe);

    // Client-area geometry as on the window form; the window keeps its size since the controls are
    // placed absolutely.
    root_ = std::make_unique<QWidget>();
    root_->setGeometry(50, 50, 396, 259);
    root_->setFixedSize(396, 259);
    root_->setWindowTitle(QString());

    toggleButton_ = new QPushButton(QStringLiteral("开始监控"), root_.get());
    toggleButton_->setObjectName(formName(Control::ToggleButton));
    toggleButton_->setGeometry(179, 4, 64, 24);

    logBox_ = new QPlainTextEdit(root_.get());
    logBox_->setObjectName(formName(Control::LogBox));
    logBox_->setGeometry(155, 36, 232, 192);
    // Only the monitor writes the log; a user edit would also cost a full copy per keystroke.
    logBox_->setReadOnly(true);
    logBox_->setMaximumBlockCount(logLineCap_ + 1);  // the block after the last line break is empty

    idBox_ = new QPlainTextEdit(root_.get());
    idBox_->setObjectName(formName(Control::IdBox));
    idBox_->setGeometry(3, 36, 144, 192);

    provinceBox_ = new QComboBox(root_.get());
    provinceBox_->setObjectName(formName(Control::ProvinceBox));
    provinceBox_->setGeometry(40, 4, 112, 20);

    provinceLabel_ = new QLabel(QStringLiteral("省份"), root_.get());
    provinceLabel_->setObjectName(formName(Control::ProvinceLabel));
    provinceLabel_->setGeometry(3, 0, 32, 24);

    mirror_[static_cast<size_t>(Control::ToggleButton)] = toLocal(toggleButton_->text());
    mirror_[static_cast<size_t>(Control::ProvinceLabel)] = toLocal(provinceLabel_->text());

    QObject::connect(toggleButton_, &QPushButton::clicked, root_.get(), [this] {
        if (events_.toggleClicked) events_.toggleClicked();
    });
    // `activated` comes only from the user's pick, never from setCurrentIndex.
    QObject::connect(provinceBox_, &QComboBox::activated, root_.get(), [this] {
        if (events_.provinceSelected) events_.provinceSelected();
    });
    QObject::connect(provinceBox_, &QComboBox::currentTextChanged, root_.get(),
                     [this](const QString& text) { setMirror(Control::ProvinceBox, toLocal(text)); });
    QObject::connect(idBox_, &QPlainTextEdit::textChanged, root_.get(),
                     [this] { setMirror(Control::IdBox, toLocal(idBox_->toPlainText())); });

    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ >= 0) {
        auto* wake = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, root_.get());
        QObject::connect(wake, &QSocketNotifier::activated, root_.get(), [this] {
            uint64_t count = 0;
            (void)!read(wakeFd_, &count, sizeof count);
            flushPending();
        });
    } else {
        // Out of descriptors: look for queued changes a few times a second instead.
        auto* poll = new QTimer(root_.get());
        QObject::connect(poll, &QTimer::timeout, root_.get(), [this] { flushPending(); });
        poll->start(100);
    }
}

QtMainWindow::~QtMainWindow() {
    detach();
}

void QtMainWindow::createAndShow() {
    if (events_.created) events_.created();
    root_->show();
}

void QtMainWindow::detach() {
    {
        std::lock_guard lock(lock_);
        if (detached_) return;
        detached_ = true;
        pending_.clear();
    }
    // From here on nothing is queued for the widgets. They must not call back into this object while
    // they are being torn down.
    for (QObject* control : std::initializer_list<QObject*>{toggleButton_, provinceBox_, idBox_}) {
        QObject::disconnect(control, nullptr, root_.get(), nullptr);
    }
    root_.reset();
    if (wakeFd_ >= 0) close(wakeFd_);
    wakeFd_ = -1;
    toggleButton_ = nullptr;
    logBox_ = nullptr;
    idBox_ = nullptr;
    provinceBox_ = nullptr;
    provinceLabel_ = nullptr;
}

void QtMainWindow::submit(Change change) {
    {
        std::lock_guard lock(lock_);
        if (detached_) return;
        pending_.push_back(std::move(change));
        if (!onWindowThread() && !flushQueued_ && wakeFd_ >= 0) {
            // Under the lock that detach takes: no wake-up once the descriptor may be closing.
            flushQueued_ = true;
            const uint64_t one = 1;
            (void)!write(wakeFd_, &one, sizeof one);
        }
    }
    if (onWindowThread()) flushPending();
}

void QtMainWindow::flushPending() {
    std::vector<Change> batch;
    {
        std::lock_guard lock(lock_);
        if (detached_) return;
        batch.swap(pending_);
        flushQueued_ = false;
    }
    for (size_t i = 0; i < batch.size();) {
        if (batch[i].kind != Change::Kind::Append) {
            apply(batch[i++]);
            continue;
        }
        // One insertion for a run of appends to the same box.
        Change joined = std::move(batch[i++]);
        for (;
             i < batch.size() && batch[i].kind == Change::Kind::Append && batch[i].control == joined.control;
             ++i) {
            joined.text += batch[i].text;
        }
        apply(joined);
    }
}

void QtMainWindow::apply(const Change& change) {
    switch (change.kind) {
        case Change::Kind::SetText:
            applySetText(change.control, change.text);
            break;
        case Change::Kind::AddItem:
            provinceBox_->addItem(toQString(change.text));
            break;
        case Change::Kind::Select:
            provinceBox_->setCurrentIndex(change.index);
            break;
        case Change::Kind::Append:
            applyAppend(change.control, change.text);
            break;
    }
}

void QtMainWindow::setMirror(Control control, Text text) {
    std::lock_guard lock(lock_);
    std::swap(mirror_[static_cast<size_t>(control)], text);
}

Text QtMainWindow::controlText(Control control) {
    std::lock_guard lock(lock_);
    return mirror_[static_cast<size_t>(control)];
}

void QtMainWindow::setControlText(Control control, const Text& text) {
    submit({Change::Kind::SetText, control, text});
}

void QtMainWindow::applySetText(Control control, const Text& text) {
    const QString s = toQString(text);
    switch (control) {
        case Control::MainWindow:
            root_->setWindowTitle(s);
            break;
        case Control::ToggleButton:
            toggleButton_->setText(s);
            break;
        case Control::ProvinceLabel:
            provinceLabel_->setText(s);
            break;
        case Control::ProvinceBox:
            provinceBox_->setCurrentText(s);
            return;  // mirrored by its signal
        case Control::IdBox:
            idBox_->setPlainText(s);
            return;  // mirrored by its signal
        case Control::LogBox:
            logBox_->setPlainText(s);
            setMirror(control, toLocal(logBox_->toPlainText()));
            return;
    }
    setMirror(control, toLocal(s));
}

void QtMainWindow::addListItem(Control control, const Text& text) {
    if (control == Control::ProvinceBox) submit({Change::Kind::AddItem, control, text});
}

void QtMainWindow::setCurrentSelection(Control control, int32_t index) {
    if (control == Control::ProvinceBox) submit({Change::Kind::Select, control, {}, index});
}

void QtMainWindow::appendToEdit(Control control, const Text& text) {
    if (control == Control::LogBox || control == Control::IdBox)
        submit({Change::Kind::Append, control, text});
}

void QtMainWindow::applyAppend(Control control, const Text& text) {
    QPlainTextEdit* box = control == Control::LogBox ? logBox_ : idBox_;
    const QString s = toQString(text);
    box->moveCursor(QTextCursor::End);
    box->insertPlainText(s);
    box->ensureCursorVisible();
    if (control == Control::LogBox) {
        std::lock_guard lock(lock_);
        Text& log = mirror_[static_cast<size_t>(Control::LogBox)];
        log = keepNewestLines(log + toLocal(s), logLineCap_);
    }
}

Text QtMainWindow::executableFileName() {
    return executableName_;
}

int QtMainWindow::runMessageLoop() {
    return QApplication::exec();
}

}  // namespace jdsm
