#pragma once

#include "Measurement.h"
#include "ReformatVolume.h"

#include <QObject>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quarvia {

class StudyDatabase;

// What the left button does in an image panel.
enum class ReadingTool { Pointer, Crosshair, Distance, Angle, Ellipse, Freehand };

// The host-wide 3D cursor: a patient position in a series' frame of reference.
struct PatientCursor {
    bool visible = false;
    int groupId = 0;
    Vec3d point{};
};

// Where a series' reformatted planes cross, and how they are turned.
struct PlaneFrame {
    Vec3d point{};
    PlaneAxes axes = kPatientAxes;
};

// A plane a panel shows, for the reference lines of the others.
struct PublishedPlane {
    std::string frameKey;
    int groupId = 0;
    PlaneKind kind = PlaneKind::Acquired;
    ImagePlane plane;
};

// What the reading tools share across the panels: the tool, the 3D cursor,
// the crossing of each series' reformats, the shown planes, the
// measurements, and the volumes reformats are sampled from.
class ReadingState : public QObject {
    Q_OBJECT
public:
    ReadingState(StudyDatabase& database, QObject* parent);
    ~ReadingState() override;

    ReadingTool tool() const { return m_tool; }
    void setTool(ReadingTool tool);

    const PatientCursor& cursor() const { return m_cursor; }
    // Moves the cursor (shown) and the crossing of every series of the same
    // frame of reference that holds the point; the others stay.
    void placeCursor(int groupId, const Vec3d& point);
    void hideCursor();

    // The frame of reference a series lives in ("" for an unknown group);
    // a series that names none is a frame of its own.
    std::string frameKeyOf(int groupId) const;
    // The crossing of a series' planes (its volume's centre at first); null
    // when the series forms no volume.
    PlaneFrame* frameOf(int groupId);
    void moveCrossing(int groupId, const Vec3d& point);
    // The crossing only when the series has one already (layouts).
    const PlaneFrame* knownFrame(int groupId) const;
    void restoreFrame(int groupId, const Vec3d& point, const PlaneAxes& axes);
    // Turns the planes about an axis through the crossing (oblique planes).
    void turnPlanes(int groupId, const Vec3d& axis, double radians);
    void resetPlanes(int groupId);
    // The series as a volume (built once, kept until the images change);
    // null with the reason when it forms none.
    ReformatVolume* volumeOf(int groupId, QString* why = nullptr);
    // Images were added, removed or have arrived: a volume whose series lost
    // or gained images is built again when next asked, one whose images
    // arrived is refreshed.
    void imagesChanged();

    // The plane each panel shows, keyed by the panel (forgotten when it goes).
    void publishPlane(QObject* owner, const PublishedPlane& plane);
    void withdrawPlane(const void* owner);
    std::vector<PublishedPlane> planesBesides(const void* owner) const;

    const std::vector<Measurement>& measurements() const { return m_measurements; }
    int addMeasurement(Measurement m);
    bool removeMeasurement(int id);
    void clearMeasurements();

signals:
    // Something every panel may draw differently: repaint.
    void changed();
    // The cursor was placed: panels page to it.
    void cursorPlaced();
    void measurementsChanged();
    void toolChanged(ReadingTool tool);

private:
    StudyDatabase& m_database;
    ReadingTool m_tool = ReadingTool::Pointer;
    PatientCursor m_cursor;
    std::map<int, PlaneFrame> m_frames;  // by group
    // A volume with the images it was built from and how many had arrived:
    // while images arrive it is refreshed, not built again.
    struct KeptVolume {
        std::unique_ptr<ReformatVolume> volume;
        std::vector<std::string> imageIds;
        int arrived = 0;
    };
    int arrivedOf(const std::vector<std::string>& imageIds) const;
    std::map<int, KeptVolume> m_volumes;
    std::map<int, QString> m_refusals;
    std::map<const void*, PublishedPlane> m_planes;
    std::vector<Measurement> m_measurements;
    int m_nextMeasurement = 1;
};

}  // namespace quarvia
