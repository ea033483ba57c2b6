#include "localfiles/folderlists.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStorageInfo>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {
class FixedHeightDelegate : public QStyledItemDelegate {
public:
    FixedHeightDelegate(int h, QObject* parent) : QStyledItemDelegate(parent), m_h(h) {}
    QSize sizeHint(const QStyleOptionViewItem& o, const QModelIndex& i) const override {
        return QSize(QStyledItemDelegate::sizeHint(o, i).width(), m_h);
    }

private:
    int m_h;
};
} // namespace

void SetItemHeight(QListWidget* list, int pixels) {
    list->setItemDelegate(new FixedHeightDelegate(pixels, list));
}

QString JoinPath(const QString& folder, const QString& name) {
    if (folder.isEmpty()) return name;
    const QString native = QDir::toNativeSeparators(folder);
    if (native.endsWith(QDir::separator())) return native + name;
    return native + QDir::separator() + name;
}

// ---------------------------------------------------------------- drive box

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {
    reloadDrives();
    connect(this, &QComboBox::activated, this, [this](int) {
        if (m_dirList && !m_applying) m_dirList->setDirectory(Drive());
    });
}

void TDriveComboBox::reloadDrives() {
    QStringList roots;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady()) continue;
        const QString root = v.rootPath();
        if (!roots.contains(root)) roots << root;
    }
    std::sort(roots.begin(), roots.end(), [](const QString& a, const QString& b) {
        if (a == QDir::rootPath()) return b != QDir::rootPath();
        if (b == QDir::rootPath()) return false;
        return a < b;
    });
    if (!roots.contains(QDir::rootPath())) roots.prepend(QDir::rootPath());
    const QSignalBlocker block(this);
    clear();
    for (const QString& r : roots)
        addItem(QDir::toNativeSeparators(r), r);
}

QString TDriveComboBox::driveOf(const QString& path) const {
    QString best = QDir::rootPath();
    const QString clean = QDir::cleanPath(path);
    for (int i = 0; i < count(); ++i) {
        const QString r = itemData(i).toString();
        const QString rc = QDir::cleanPath(r);
        if ((clean == rc || clean.startsWith(rc.endsWith('/') ? rc : rc + '/')) && rc.size() > best.size())
            best = r;
    }
    return best;
}

void TDriveComboBox::setDrive(const QString& root) {
    const int i = findData(root);
    if (i >= 0 && i != currentIndex()) {
        m_applying = true;
        setCurrentIndex(i);
        m_applying = false;
    }
}

// ---------------------------------------------------------------- folder list

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    m_dir = QDir::currentPath();
    Update();
}

QString TDirectoryListBox::Drive() const {
    if (m_drive) return m_drive->driveOf(m_dir);
    return QDir::rootPath();
}

void TDirectoryListBox::setFileList(TFileListBox* list) {
    m_fileList = list;
    if (m_fileList) m_fileList->setDirectory(m_dir);
}

void TDirectoryListBox::setDirectory(const QString& path) {
    QFileInfo fi(path);
    if (!fi.isDir()) return;
    const QString dir = QDir::cleanPath(fi.absoluteFilePath());
    QDir::setCurrent(dir);
    if (dir == m_dir) return;
    m_dir = dir;
    Update();
    if (m_drive) m_drive->setDrive(m_drive->driveOf(m_dir));
    if (m_fileList) m_fileList->setDirectory(m_dir);
    emit changed();
}

void TDirectoryListBox::Update() {
    clear();
    // The path from the root down to the folder, then its subfolders, indented.
    QStringList parts = m_dir.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString acc = QDir::rootPath();
    auto add = [this](const QString& text, const QString& path, int depth, bool open) {
        auto* item =
            new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + (open ? "\u25BE " : "\u25B8 ") + text);
        item->setData(Qt::UserRole, path);
        addItem(item);
        return item;
    };
    QListWidgetItem* current = add(QDir::toNativeSeparators(acc), acc, 0, true);
    int depth = 1;
    for (const QString& p : parts) {
        acc = QDir::cleanPath(acc + QLatin1Char('/') + p);
        current = add(p, acc, depth++, true);
    }
    QDir d(m_dir);
    const QStringList subs = d.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& s : subs)
        add(s, d.filePath(s), depth, false);
    setCurrentItem(current);
}

void TDirectoryListBox::openEntry(QListWidgetItem* item) {
    if (item) setDirectory(item->data(Qt::UserRole).toString());
}

void TDirectoryListBox::mouseDoubleClickEvent(QMouseEvent* e) {
    QListWidget::mouseDoubleClickEvent(e);
    openEntry(itemAt(e->pos()));
}

void TDirectoryListBox::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        openEntry(currentItem());
        return;
    }
    QListWidget::keyPressEvent(e);
}

// ---------------------------------------------------------------- file list

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    m_dir = QDir::currentPath();
}

void TFileListBox::setMask(const QString& mask) {
    m_mask = mask;
    Update();
}

void TFileListBox::setDirectory(const QString& path) {
    m_dir = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    Update();
}

void TFileListBox::Update() {
    QDir d(m_dir);
    if (d.exists()) QDir::setCurrent(m_dir);
    const QStringList filters = m_mask.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    // Name filters match without regard to case, as the logger's users expect.
    // Regular files only: no FIFOs, sockets or devices (opening one could block),
    // and no hidden dot-files.
    QStringList names;
    const QFileInfoList infos = d.entryInfoList(filters, QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& fi : infos)
        if (fi.isFile() && !fi.fileName().startsWith(QLatin1Char('.'))) names << fi.fileName();
    // Re-reading is done after every downloaded file: change only what changed
    // (both lists are in the same order), so a long list stays cheap to refresh.
    const QIcon glyph = m_glyphs ? style()->standardIcon(QStyle::SP_FileIcon) : QIcon();
    int row = 0;
    for (const QString& n : names) {
        while (row < count() && QString::compare(item(row)->text(), n, Qt::CaseInsensitive) < 0 &&
               !names.contains(item(row)->text()))
            delete takeItem(row);
        if (row < count() && item(row)->text() == n) {
            ++row;
            continue;
        }
        insertItem(row++, new QListWidgetItem(glyph, n));
    }
    while (count() > row)
        delete takeItem(row);
    updateFileEdit();
}

void TFileListBox::setFileEdit(QLineEdit* edit) {
    m_edit = edit;
    updateFileEdit();
}

void TFileListBox::updateFileEdit() {
    if (!m_edit) return;
    QListWidgetItem* cur = currentItem();
    m_edit->setText(cur && cur->isSelected() ? cur->text() : m_mask);
    m_edit->selectAll();
}

void TFileListBox::mouseReleaseEvent(QMouseEvent* e) {
    QListWidget::mouseReleaseEvent(e);
    updateFileEdit();
}

QString TFileListBox::FileName() const {
    const auto sel = selectedItems();
    if (sel.isEmpty()) return {};
    return JoinPath(m_dir, sel.first()->text());
}

QStringList TFileListBox::names() const {
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out << item(i)->text();
    return out;
}

bool TFileListBox::selectName(const QString& name) {
    const auto found = findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) return false;
    clearSelection();
    setCurrentItem(found.first());
    found.first()->setSelected(true);
    return true;
}

void TFileListBox::mouseDoubleClickEvent(QMouseEvent* e) {
    QListWidget::mouseDoubleClickEvent(e);
    emit doubleClicked();
}

// ---------------------------------------------------------------- linked list

TLinkedListBox::TLinkedListBox(QWidget* parent) : QListWidget(parent) {
    setUniformItemSizes(true);
}

void TLinkedListBox::setLinkedEdit(QLineEdit* edit, const QString& mask) {
    m_edit = edit;
    m_mask = mask;
}

void TLinkedListBox::setItemIndex(int i) {
    if (i < 0 || i >= count()) return;
    setCurrentRow(i, QItemSelectionModel::NoUpdate);
}

QString TLinkedListBox::selectedFocusName() const {
    QListWidgetItem* cur = currentItem();
    return cur && cur->isSelected() ? cur->text() : QString();
}

void TLinkedListBox::updateEdit() {
    if (!m_edit) return;
    QListWidgetItem* cur = currentItem();
    m_edit->setText(cur && cur->isSelected() ? cur->text() : m_mask);
    m_edit->selectAll();
}

void TLinkedListBox::mousePressEvent(QMouseEvent* e) {
    m_afterDoubleClick = false;
    QListWidget::mousePressEvent(e);
}

void TLinkedListBox::mouseReleaseEvent(QMouseEvent* e) {
    QListWidget::mouseReleaseEvent(e);
    if (e->button() != Qt::LeftButton) return;
    if (m_afterDoubleClick) {
        m_afterDoubleClick = false;
        return;
    }
    emit clicked();
    updateEdit();
}

void TLinkedListBox::mouseDoubleClickEvent(QMouseEvent* e) {
    QListWidget::mouseDoubleClickEvent(e);
    if (e->button() != Qt::LeftButton) return;
    m_afterDoubleClick = true;
    emit doubleClicked();
}
