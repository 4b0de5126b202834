#pragma once
// Loading a host series into a window's volume and refreshing it while the
// images arrive: the memory check, the host's volume record, building and
// classifying the volume, and the download-state bookkeeping. Answers a
// status; the window shows the message that goes with it.

#include "volume/SeriesState.h"

#include <string>
#include <vector>

namespace v3d {

class CVolume;
class SeriesHostPort;

enum class SeriesLoadStatus {
    Ok,
    Cancelled,              // nothing to load
    DeclinedShortOfMemory,  // the user stopped at the memory warning
    HostRefused,            // the host could not assemble the slices
    BadGeometry,            // the host's record describes no volume
    TooFewImages,           // too thin along an axis for the clip box
    OutOfMemory,            // building or classifying ran out of memory
};

// What the acquisition asks of the window around a change of the volume.
class VolumeChangeSink {
public:
    virtual ~VolumeChangeSink() = default;
    // The volume, once nothing reads it any more (background passes stopped).
    virtual CVolume& volumeForChange() = 0;
    // A new series is in place: drop the cut planes, place the camera, render.
    virtual void volumeReplaced() = 0;
    // The same series with more images or new classes: render again.
    virtual void volumeRefreshed() = 0;
};

class SeriesAcquisition {
public:
    SeriesAcquisition(SeriesState& state, SeriesHostPort& host, VolumeChangeSink& sink);

    // Builds the volume from the images. On any failure the window keeps
    // the series and volume it had.
    SeriesLoadStatus load(const std::vector<std::string>& ids);
    // Re-reads the images while they arrive and classifies again.
    SeriesLoadStatus refresh();
    // Whether the refresh timer should refresh now (and whether it may stop).
    bool refreshDueNow();
    bool waitingForImages() const { return m_state.completedFraction < 1.0; }

private:
    void updateRates();

    SeriesState& m_state;
    SeriesHostPort& m_host;
    VolumeChangeSink& m_sink;
};

}  // namespace v3d
