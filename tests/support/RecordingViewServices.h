#pragma once
// The view's services for engine tests: a profile in memory (values kept as
// the host keeps them: integers and booleans as decimal text), the control
// flag, and a record of window/level updates and 3D-cursor placements.

#include "view/ViewServices.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

class RecordingViewServices : public v3d::ViewServices {
public:
    int readInt(const char* key, int fallback) override {
        auto it = profile.find(key);
        return it == profile.end() ? fallback : std::atoi(it->second.c_str());
    }
    bool readBool(const char* key, bool fallback) override { return readInt(key, fallback ? 1 : 0) != 0; }
    std::string readString(const char* key, const char* fallback) override {
        auto it = profile.find(key);
        return it == profile.end() ? std::string(fallback) : it->second;
    }
    void writeInt(const char* key, int value) override { write(key, std::to_string(value)); }
    void writeBool(const char* key, bool value) override { write(key, value ? "1" : "0"); }
    void writeString(const char* key, const char* value) override { write(key, value); }
    bool hasCollaborationControl() override { return control; }
    void windowLevelChanged() override { ++windowLevelUpdates; }
    bool hasPatientCursor() override { return patientCursor; }
    void placePatientCursor(int32_t series, double x, double y, double z) override {
        char text[128];
        std::snprintf(text, sizeof text, "%d %.2f %.2f %.2f", series, x, y, z);
        cursorPlacements.push_back(text);
    }

    std::map<std::string, std::string> profile;
    std::vector<std::string> writes;  // "key=value" in order
    bool control = true;
    bool patientCursor = false;
    int windowLevelUpdates = 0;
    std::vector<std::string> cursorPlacements;

private:
    void write(const char* key, const std::string& value) {
        profile[key] = value;
        writes.push_back(std::string(key) + "=" + value);
    }
};
