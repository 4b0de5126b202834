#pragma once
// Names the segment of a segmentation about to be saved: its label, and
// the category and type that other programs sort segments by.

#include "plugin/host/SegmentationObject.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace v3d {

class CSegmentDialog : public QDialog {
public:
    explicit CSegmentDialog(QWidget* parent);

    // What the user chose (the series fields keep their defaults).
    SegSegmentDescription description() const;

private:
    QLineEdit* m_label;
    QComboBox* m_category;
    QComboBox* m_type;
};

}  // namespace v3d
