#include "browse/DetailSteps.h"

#include <algorithm>

namespace zlv::detail {

int StepTarget(Step step, int selected, int count)
{
    // The count and the selection of the moment of the press: the list may have been
    // reloaded with more rows, re-sorted or emptied (a new day) since the last one.
    if (count <= 0) {
        return -1;
    }
    if (selected < 0 || selected >= count) {
        return step == Step::Last ? count - 1 : 0;
    }
    switch (step) {
    case Step::First:
        return 0;
    case Step::Previous:
        return std::max(selected - 1, 0);
    case Step::Next:
        return std::min(selected + 1, count - 1);
    case Step::Last:
        return count - 1;
    }
    return selected;
}

} // namespace zlv::detail
