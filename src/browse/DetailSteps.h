#pragma once

// Where the Detail View's stepping buttons go, for every front end alike.
namespace zlv::detail {

enum class Step
{
    First,
    Previous,
    Next,
    Last
};

// The row a press of `step` selects in a list of `count` rows whose selected row is
// `selected` (-1 for none; a press then starts at the top). -1 for an empty list. Previous
// on the first row and Next on the last stay where they are.
int StepTarget(Step step, int selected, int count);

} // namespace zlv::detail
