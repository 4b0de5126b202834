#pragma once
// What a view needs of its host besides rendering: the preferences kept in
// the host's profile (one section, keys named after the members), whether
// the user holds the collaboration control, and telling the host that the
// window/level tool of the frame changed. The plug-in implements it over the
// host functions; tests record it.

#include <cstdint>
#include <string>

namespace v3d {

class ProfileStore {
public:
    virtual ~ProfileStore() = default;
    virtual int readInt(const char* key, int fallback) = 0;
    virtual bool readBool(const char* key, bool fallback) = 0;
    virtual std::string readString(const char* key, const char* fallback) = 0;
    virtual void writeInt(const char* key, int value) = 0;
    virtual void writeBool(const char* key, bool value) = 0;
    virtual void writeString(const char* key, const char* value) = 0;
};

class ViewServices : public ProfileStore {
public:
    virtual bool hasCollaborationControl() = 0;
    // The host's window/level display of the frame follows the view.
    virtual void windowLevelChanged() = 0;
    // The host's 3D cursor: whether the host has one, and placing it on a
    // patient point of a series (series 0: nowhere).
    virtual bool hasPatientCursor() = 0;
    virtual void placePatientCursor(int32_t series, double x, double y, double z) = 0;
};

}  // namespace v3d
