#pragma once
// The view's preferences: what the setup dialog edits and the profile keeps
// between sessions. The defaults are the members' own; the table in the
// source file names each one's profile key and range, and load and save
// walk it.

namespace v3d {

class ProfileStore;

struct Preferences {
    bool noTumble = true;
    // As loaded and saved; while the view is open its camera holds it.
    bool perspective = false;
    bool shadowsPersp = true;
    bool shadowsPar = false;
    bool floodBound = false;
    bool opqOnSsd = true;
    bool wireframe = true;
    // Segmentation values in HU (range, then radius of the density range).
    int segLow = -1000;
    int segHigh = 3000;
    int segRad = 100;
    // -1 turns the vertical mouse axis over.
    int invertMouse = 1;
    // Mouse speeds in whole percent.
    float mouseSpeedX = 100.0f;
    float mouseSpeedY = 100.0f;
};

// Every preference from the profile, each missing one at its default and
// each brought into its range.
Preferences loadPreferences(ProfileStore& profile);
void savePreferences(ProfileStore& profile, const Preferences& preferences);

}  // namespace v3d
