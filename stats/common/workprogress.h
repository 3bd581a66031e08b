#pragma once

// Moves calcProgressValue with the work done, for engines whose work is
// known only as an estimate that sharpens as they go (the later stages of a
// network are built by the earlier ones).
//
// Each report of work done moves the share shown by the share still left
// times work / (work + left), left being the estimate of the work still to
// do after it: when the estimates are right that is the work's share of the
// whole run, and when they change the value still never runs back and never
// reaches the end before finish(). A run that continues another one (a
// second pass of the same test) starts from the value the first one left.
class workprogress final
{
public:
    // Starts a run on a display with this maximum (the value runs from 0
    // to it), from the value shown now.
    void start(int maximum);

    // work: done since the last call (>= 0); left: the estimate of what is
    // still to do after it (>= 0). Cheap: a few arithmetic operations and
    // one store.
    void advance(double work, double left);
    // The run is over: the value goes to the maximum.
    void finish();

    double share() const { return m_share; }

private:
    int m_maximum = 1;
    double m_share = 0.0;
};
