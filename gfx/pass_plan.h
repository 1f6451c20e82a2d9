// Which passes of the list a frame runs. A pass runs when its activation allows it and the frame needs
// its work: walking the list back from the scene's output, a pass is needed when it writes the output or
// something that a needed pass after it reads in this frame, through an input that is switched on now.
// Work whose result outlives the frame is always done, so that nothing left undone is read later: a pass
// runs in every frame its activation allows when its activation is not "always" (what it writes last
// may be read after it stops), when it draws without clearing or keeps state in an output, when it
// writes a double-buffered resource, or when a pass at or before its place in the list reads what it
// writes (the previous frame's result). A frame therefore shows exactly what running every active pass
// would show. Without an output the scene cannot tell what matters, and every active pass runs.
#pragma once

#include "base/dyn_array.h"
#include "sync/context_variable.h"

#include <cstdint>
#include <vector>

namespace Orvo::Gfx {

struct Resource;
struct Scene;

// False when the environment variable MIRELANDT_NO_PASS_SKIP is 1: every active pass then runs, for
// comparisons of the pictures with and without leaving passes out.
bool passSkippingWanted();

class PassPlan {
  public:
    // Decides every position of scene.passes for a frame at `time`; with `skipping` false every active
    // pass runs. Keeps its storage from frame to frame.
    void plan(const Scene& scene, float time, bool firstFrame, bool skipping);
    bool runs(uint32_t position) const { return position < runs_.size() && runs_[position]; }

  private:
    std::vector<uint8_t> runs_;
    std::vector<const Resource*> needed_;
};

// Whether an input switched by the variable called `name` (null: not switched) is read with these
// variables: when no variable has that name it counts as read.
bool inputSwitchedOn(const char* name, const base::DynArray<sync_tracks::ContextVariable>& variables);

} // namespace Orvo::Gfx
