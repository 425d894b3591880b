#pragma once

#include <QString>
#include <gst/gst.h>

namespace tap {

// Codes a playback graph passes to its filter components.
enum FilterListNotice : int {
    kBeforeAdd = 0,    // its platform filter is about to enter the engine graph
    kAfterAdd = 1,     // ... has entered it
    kBeforeRemove = 2, // ... is about to leave it
    kAfterRemove = 3,  // ... has left it
};

// A component whose platform filter lives inside a playback graph (UI thread).
class IDSFilterComponent {
public:
    virtual ~IDSFilterComponent() = default;
    virtual GstElement* PlatformFilter() = 0;
    virtual QString ComponentName() const = 0;
    virtual void FilterListNotify(int code) = 0;
    // The graph goes away before the component: forget it without calling back.
    virtual void GraphDestroyed() = 0;
};

// The filter list of a playback graph (UI thread).
class IDSFilterList {
public:
    virtual ~IDSFilterList() = default;
    virtual void InsertFilter(IDSFilterComponent* filter) = 0;
    virtual void RemoveFilter(IDSFilterComponent* filter) = 0;
};

} // namespace tap
