#pragma once

#include <QDockWidget>

class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace quarvia {

class StudyDatabase;

// The study browser: a dock listing the studies, and under each its series
// (description, modality, image count, a thumbnail of the middle image, how
// many images have arrived). A double-click asks for the series to be shown;
// a series can be dragged onto any cell.
class StudyBrowser : public QDockWidget {
    Q_OBJECT
public:
    StudyBrowser(StudyDatabase& database, QWidget* parent);

    // Rebuilds the list after the database changed.
    void refresh();
    QTreeWidget* tree() const { return m_tree; }
    // The item of series `index` (0-based over all studies, browser order);
    // null when there is none.
    QTreeWidgetItem* seriesItem(int index) const;
    // The item of object `index` (a segmentation; browser order); null when
    // there is none.
    QTreeWidgetItem* objectItem(int index) const;
    // The group a series item stands for; 0 for anything else.
    static int groupOf(const QTreeWidgetItem* item);
    // The study of the selected item; empty when nothing is selected.
    std::string selectedStudy() const;
    // The browser as text: one line per study and series.
    QStringList lines() const;

signals:
    void seriesActivated(int groupId);

private:
    void updateLoadState();
    // Row `index` among the series rows, or among the object rows.
    QTreeWidgetItem* nthRow(int index, bool objects) const;

    StudyDatabase& m_database;
    QTreeWidget* m_tree;
    QTimer* m_loadTimer;
};

}  // namespace quarvia
