#pragma once

namespace vistrel {

// Where a process-wide seam is reached: the real implementation unless a test put another in
// its place; putting none back (nullptr) restores the real one.
template<typename Interface> class SeamSlot
{
public:
    explicit SeamSlot(Interface &real) : m_real(real), m_current(&real) {}

    Interface &get() const { return *m_current; }
    // Returns the one in place before.
    Interface *replace(Interface *replacement)
    {
        Interface *previous = m_current;
        m_current = replacement ? replacement : &m_real;
        return previous;
    }

private:
    Interface &m_real;
    Interface *m_current;
};

} // namespace vistrel
