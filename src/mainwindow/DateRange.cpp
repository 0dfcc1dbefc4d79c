#include "mainwindow/DateRange.h"

namespace zlv {

RangeVerdict CheckRange(const Date& from, const Date& to, const Date& today)
{
    if (today.toDayNumber() - to.toDayNumber() < 1) {
        return RangeVerdict::EndTooLate;
    }
    if (to.toDayNumber() - from.toDayNumber() < 0) {
        return RangeVerdict::StartAfterEnd;
    }
    return RangeVerdict::Valid;
}

} // namespace zlv
