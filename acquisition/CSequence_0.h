// The root interface of every sequence; it carries no data and no operations.
#pragma once

class CSequence_0 {
public:
    virtual ~CSequence_0() = default;
};
