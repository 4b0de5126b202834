#include "plugin/dialogs/CSegmentDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

namespace v3d {

namespace {

// Coded concepts that readers of segmentations know (SNOMED CT).
const SegCode kCategories[] = {
    {"85756007", "SCT", "Tissue"},
    {"123037004", "SCT", "Anatomical Structure"},
    {"49755003", "SCT", "Morphologically Altered Structure"},
};
const SegCode kTypes[] = {
    {"85756007", "SCT", "Tissue"},       {"272673000", "SCT", "Bone"},  {"87784001", "SCT", "Soft tissue"},
    {"12738006", "SCT", "Brain"},        {"39607008", "SCT", "Lung"},   {"80891009", "SCT", "Heart"},
    {"10200004", "SCT", "Liver"},        {"64033007", "SCT", "Kidney"}, {"59820001", "SCT", "Blood vessel"},
    {"108369006", "SCT", "Neoplasm"},
};

template <size_t N>
QComboBox* codeChoice(const SegCode (&codes)[N], QWidget* parent) {
    auto* box = new QComboBox(parent);
    for (const SegCode& code : codes) box->addItem(QString::fromStdString(code.meaning));
    return box;
}

}  // namespace

CSegmentDialog::CSegmentDialog(QWidget* parent)
    : QDialog(parent), m_label(new QLineEdit("Segment", this)), m_category(codeChoice(kCategories, this)),
      m_type(codeChoice(kTypes, this)) {
    setWindowTitle("Save segmentation as DICOM");
    auto* form = new QFormLayout(this);
    m_label->setObjectName("label");
    m_category->setObjectName("category");
    m_type->setObjectName("type");
    m_label->setMaxLength(64);  // a segment label is a long string
    form->addRow("Segment label:", m_label);
    form->addRow("Category:", m_category);
    form->addRow("Type:", m_type);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

SegSegmentDescription CSegmentDialog::description() const {
    SegSegmentDescription d;
    // A backslash would split the value in two.
    const QString label = m_label->text().remove('\\').trimmed();
    if (!label.isEmpty()) d.label = label.toStdString();
    else d.label = "Segment";
    d.category = kCategories[std::max(0, m_category->currentIndex())];
    d.type = kTypes[std::max(0, m_type->currentIndex())];
    d.seriesDescription = ("Segmentation: " + QString::fromStdString(d.label)).left(64).toStdString();
    return d;
}

}  // namespace v3d
