#pragma once

namespace glossan {

// Names the plug-in passes to the host; profile values live under this
// identifier, scope and section.
inline constexpr char kPluginId[] = "Glossan Spellchecker Module";
inline constexpr char kHumanName[] = "Glossan";
inline constexpr int kProfileScope = 1;
inline constexpr char kProfileSection[] = "Glossan Module";

// Caption of every message box the installer shows.
inline constexpr char kInstallCaption[] = "Glossan Install";

}  // namespace glossan
