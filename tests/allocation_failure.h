// Making memory run out in a test: while a TAllocationFailure lives, the
// allocation (through new) after `after` further ones throws std::bad_alloc,
// once.
#pragma once

class TAllocationFailure
{
public:
    explicit TAllocationFailure(long long after);
    ~TAllocationFailure();
    TAllocationFailure(const TAllocationFailure&) = delete;
    TAllocationFailure& operator=(const TAllocationFailure&) = delete;
    // Whether the failure was thrown.
    static bool Happened();
};
