#pragma once
// The view's services over the host functions: the "v3d" profile section,
// the collaboration control, the frame's window/level tool and the host's
// 3D cursor (an optional host function).

#include "view/ViewServices.h"

#include "QVHostApi.h"

namespace v3d {

class HostViewServices : public ViewServices {
public:
    explicit HostViewServices(QVWindowHandle frame);

    int readInt(const char* key, int fallback) override;
    bool readBool(const char* key, bool fallback) override;
    std::string readString(const char* key, const char* fallback) override;
    void writeInt(const char* key, int value) override;
    void writeBool(const char* key, bool value) override;
    void writeString(const char* key, const char* value) override;
    bool hasCollaborationControl() override;
    void windowLevelChanged() override;
    bool hasPatientCursor() override;
    void placePatientCursor(int32_t series, double x, double y, double z) override;

private:
    QVWindowHandle m_frame;
    QVSetMagicXFn m_setMagicX;
};

}  // namespace v3d
