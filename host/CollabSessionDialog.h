#pragma once

#include <QDialog>
#include <QMap>
#include <QString>

class QLineEdit;
class QSpinBox;

namespace quarvia {

// Asks where to host a collaboration session (address, port) or which one
// to join (host:port), and the file holding the session key.
class CollabSessionDialog : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Host, Join };
    static constexpr int kDefaultPort = 47700;

    CollabSessionDialog(Mode mode, QWidget* parent);

    // "[ADDR:]PORT" to listen on (Host) or "HOST:PORT" to join (Join).
    QString endpoint() const;
    QString keyFile() const;
    // Fills the fields by name ("address", "port", "key-file") and accepts:
    // how a script answers the dialog.
    void answer(const QMap<QString, QString>& fields);

private:
    Mode m_mode;
    QLineEdit* m_address = nullptr;
    QSpinBox* m_port = nullptr;
    QLineEdit* m_keyFile = nullptr;
};

}  // namespace quarvia
