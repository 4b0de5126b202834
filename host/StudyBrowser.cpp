#include "StudyBrowser.h"

#include "CornerTexts.h"
#include "ImageRender.h"
#include "dicom/StudyDatabase.h"

#include <QHeaderView>
#include <QMimeData>
#include <QPixmap>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

namespace quarvia {

namespace {
const char* const kSeriesMime = "application/x-quarvia-series";
constexpr int kThumbnail = 48;
enum Column { kName, kModality, kImages, kState, kColumns };
enum Role { kGroupRole = Qt::UserRole + 1, kStudyRole, kObjectPathRole };

// The tree with series items that drag as "this series".
class SeriesTree : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    QStringList mimeTypes() const override { return {kSeriesMime, "text/uri-list"}; }
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override {
        // An object (a segmentation) drags as its file, as from a file manager.
        const QString objectPath = items.isEmpty() ? QString() : items.front()->data(kName, kObjectPathRole).toString();
        if (!objectPath.isEmpty()) {
            auto* mime = new QMimeData;
            mime->setUrls({QUrl::fromLocalFile(objectPath)});
            return mime;
        }
        const int group = items.isEmpty() ? 0 : StudyBrowser::groupOf(items.front());
        if (!group) return nullptr;
        auto* mime = new QMimeData;
        mime->setData(kSeriesMime, QByteArray::number(group));
        return mime;
    }
};

// Two lines: who (name and ID), then which study (date and description),
// so that a narrow browser wraps nothing away.
QString studyTitle(const DicomImage& image) {
    const ImageTexts& t = image.texts();
    QStringList who{t.patientName.isEmpty() ? QString("(no name)") : t.patientName};
    if (!t.patientId.isEmpty()) who << t.patientId;
    QStringList what;
    if (!t.studyDate.isEmpty()) what << readableDate(t.studyDate);
    if (!t.studyDescription.isEmpty()) what << t.studyDescription;
    return what.isEmpty() ? who.join("  ") : who.join("  ") + "\n" + what.join("  ");
}
}  // namespace

StudyBrowser::StudyBrowser(StudyDatabase& database, QWidget* parent)
    : QDockWidget("Studies", parent), m_database(database), m_tree(new SeriesTree(this)), m_loadTimer(new QTimer(this)) {
    setObjectName("studyBrowser");
    m_tree->setObjectName("studyTree");
    m_tree->setColumnCount(kColumns);
    m_tree->setHeaderLabels({"Study / Series", "Modality", "Images", "Loaded"});
    m_tree->setIconSize(QSize(kThumbnail, kThumbnail));
    m_tree->setDragEnabled(true);
    m_tree->setDragDropMode(QAbstractItemView::DragOnly);
    m_tree->header()->setSectionResizeMode(kName, QHeaderView::Stretch);
    for (int column = kModality; column < kColumns; ++column)
        m_tree->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(false);
    m_tree->setWordWrap(true);
    // Narrow enough that a small window keeps room for its cells.
    setMinimumWidth(180);
    setWidget(m_tree);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (const int group = groupOf(item)) emit seriesActivated(group);
    });
    // While images arrive (a download), the load state follows them.
    m_loadTimer->setInterval(500);
    connect(m_loadTimer, &QTimer::timeout, this, &StudyBrowser::updateLoadState);
}

int StudyBrowser::groupOf(const QTreeWidgetItem* item) { return item ? item->data(kName, kGroupRole).toInt() : 0; }

void StudyBrowser::refresh() {
    m_tree->clear();
    for (int s = 0; s < m_database.studyCount(); ++s) {
        const std::string study = m_database.studyUid(s);
        auto* studyItem = new QTreeWidgetItem(m_tree);
        studyItem->setData(kName, kStudyRole, QString::fromStdString(study));
        studyItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        int images = 0;
        QStringList modalities;
        for (int g = 0; g < m_database.groupCount(study); ++g) {
            const SeriesGroup* group = m_database.group(study, g);
            if (!group || group->imageIds.empty()) continue;
            const DicomImage* middle = m_database.image(group->imageIds[group->imageIds.size() / 2]);
            const DicomImage* first = m_database.image(group->imageIds.front());
            if (!middle || !first) continue;
            if (images == 0) studyItem->setText(kName, studyTitle(*first));
            images += static_cast<int>(group->imageIds.size());
            auto* item = new QTreeWidgetItem(studyItem);
            const ImageTexts& t = first->texts();
            if (!t.modality.isEmpty() && !modalities.contains(t.modality)) modalities << t.modality;
            QString name = t.seriesDescription.isEmpty() ? QString("Series %1").arg(first->seriesNumber())
                                                         : t.seriesDescription;
            if (m_database.groupCount(study) > 1 && t.seriesDescription.isEmpty() == false)
                name = QString("%1: %2").arg(first->seriesNumber()).arg(name);
            item->setText(kName, name);
            item->setText(kModality, t.modality);
            item->setText(kImages, QString::number(group->imageIds.size()));
            item->setData(kName, kGroupRole, group->id);
            item->setData(kName, kStudyRole, QString::fromStdString(study));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
            item->setToolTip(kName, QString("%1 x %2 pixels").arg(middle->columns()).arg(middle->rows()));
            double center = 0, width = 1;
            defaultWindow(*middle, center, width);
            const QImage picture = renderImage(*middle, center, width)
                                       .scaled(QSize(kThumbnail, kThumbnail), Qt::KeepAspectRatio, Qt::SmoothTransformation);
            item->setIcon(kName, QPixmap::fromImage(picture));
        }
        for (const StoredObject* object : m_database.objects(study)) {
            auto* item = new QTreeWidgetItem(studyItem);
            item->setText(kName, object->seriesDescription.isEmpty() ? QString("Segmentation") : object->seriesDescription);
            item->setText(kModality, object->modality);
            item->setData(kName, kObjectPathRole, object->path);
            item->setData(kName, kStudyRole, QString::fromStdString(study));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
            item->setToolTip(kName, "Drag onto a 3D window of its series to show it there");
        }
        if (images == 0) studyItem->setText(kName, "(segmentations only)");
        studyItem->setText(kModality, modalities.join(", "));
        studyItem->setText(kImages, QString::number(images));
        // The study row spans the columns: who and which study, then its
        // modalities and images, readable in a narrow browser.
        studyItem->setText(kName, studyItem->text(kName) + QString("\n%1  %2 images").arg(modalities.join(", ")).arg(images));
        studyItem->setToolTip(kName, studyItem->text(kName));
        studyItem->setFirstColumnSpanned(true);
        studyItem->setExpanded(true);
    }
    updateLoadState();
}

void StudyBrowser::updateLoadState() {
    bool waiting = false;
    for (int s = 0; s < m_tree->topLevelItemCount(); ++s) {
        QTreeWidgetItem* study = m_tree->topLevelItem(s);
        for (int i = 0; i < study->childCount(); ++i) {
            QTreeWidgetItem* item = study->child(i);
            const SeriesGroup* group = m_database.groupById(groupOf(item));
            if (!group) continue;
            int arrived = 0;
            for (const std::string& id : group->imageIds) arrived += m_database.download().arrived(id) ? 1 : 0;
            const int total = static_cast<int>(group->imageIds.size());
            item->setText(kState, arrived == total ? QString("all") : QString("%1/%2").arg(arrived).arg(total));
            waiting = waiting || arrived < total;
        }
    }
    if (waiting && !m_loadTimer->isActive()) m_loadTimer->start();
    if (!waiting) m_loadTimer->stop();
}

QTreeWidgetItem* StudyBrowser::nthRow(int index, bool objects) const {
    for (int s = 0; s < m_tree->topLevelItemCount(); ++s) {
        QTreeWidgetItem* study = m_tree->topLevelItem(s);
        for (int i = 0; i < study->childCount(); ++i) {
            QTreeWidgetItem* row = study->child(i);
            const bool isObject = !row->data(kName, kObjectPathRole).toString().isEmpty();
            if (isObject == objects && index-- == 0) return row;
        }
    }
    return nullptr;
}

QTreeWidgetItem* StudyBrowser::seriesItem(int index) const { return nthRow(index, false); }

QTreeWidgetItem* StudyBrowser::objectItem(int index) const { return nthRow(index, true); }

std::string StudyBrowser::selectedStudy() const {
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    return selected.isEmpty() ? std::string() : selected.front()->data(kName, kStudyRole).toString().toStdString();
}

QStringList StudyBrowser::lines() const {
    QStringList out;
    int series = 0;
    for (int s = 0; s < m_tree->topLevelItemCount(); ++s) {
        QTreeWidgetItem* study = m_tree->topLevelItem(s);
        int groups = 0;
        for (int i = 0; i < study->childCount(); ++i) groups += groupOf(study->child(i)) ? 1 : 0;
        out << QString("study %1 | %2 | %3 series | %4 images")
                   .arg(s)
                   .arg(study->text(kName).replace(QLatin1Char('\n'), "  "))
                   .arg(groups)
                   .arg(study->text(kImages));
        for (int i = 0; i < study->childCount(); ++i) {
            QTreeWidgetItem* item = study->child(i);
            if (!groupOf(item)) {
                out << QString("object | %1 | %2").arg(item->text(kName), item->text(kModality));
                continue;
            }
            out << QString("series %1 | %2 | %3 | %4 images | loaded %5 | thumbnail %6")
                       .arg(series++)
                       .arg(item->text(kName), item->text(kModality), item->text(kImages), item->text(kState))
                       .arg(item->icon(kName).isNull() ? "no" : "yes");
        }
    }
    return out;
}

}  // namespace quarvia
