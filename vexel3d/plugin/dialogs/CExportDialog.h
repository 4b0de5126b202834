#pragma once
// "Export Option": resolution, and an optional rotation series with its
// direction, total rotation and step.

#include "interact/ExportRun.h"

#include <QDialog>

class QCheckBox;
class QComboBox;

namespace v3d {

class CExportDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 5022;
    static constexpr int kResolutionId = 5037;
    static constexpr int kReplaceOriginalId = 5038;
    static constexpr int kRotationSeriesId = 5032;
    static constexpr int kDirectionId = 5034;
    static constexpr int kStepId = 5035;
    static constexpr int kTotalRotationId = 5036;

    explicit CExportDialog(QWidget* parent);

    // The choices as the export takes them (valid after OK).
    ExportOptions options() const;

    QComboBox* resolution() const { return m_resolution; }
    QCheckBox* replaceOriginal() const { return m_replaceOriginal; }
    QCheckBox* rotationSeries() const { return m_rotationSeries; }
    QComboBox* direction() const { return m_direction; }
    QComboBox* totalRotation() const { return m_totalRotation; }
    QComboBox* step() const { return m_step; }

private:
    void enableRotation(bool on);

    QComboBox* m_resolution = nullptr;
    QCheckBox* m_replaceOriginal = nullptr;
    QCheckBox* m_rotationSeries = nullptr;
    QComboBox* m_direction = nullptr;
    QComboBox* m_totalRotation = nullptr;
    QComboBox* m_step = nullptr;
};

}  // namespace v3d
