// Walks over the stitch records of a design. Iterators live on the heap and
// end themselves with Release(); shared pointers use Releaser as deleter.
#pragma once
#include <type_traits>

namespace Brodix {

struct IteratorOutOfBounds {};

template <typename T>
class IIterator {
public:
    virtual void First() = 0;
    virtual void Next() = 0;
    virtual bool IsDone() const = 0;
    virtual std::remove_const_t<T> GetCurrentItem() const = 0;
    virtual void SetCurrentItem(std::remove_const_t<T> const& item) = 0;
    virtual void Release() = 0;

    static void Releaser(IIterator* iterator)
    {
        if (iterator != nullptr)
            iterator->Release();
    }

protected:
    virtual ~IIterator() = default;
};

} // namespace Brodix

#include <memory>

namespace Brodix {

// Owns a heap iterator for the length of one walk.
template <typename T>
using IteratorPtr = std::unique_ptr<IIterator<T>, void (*)(IIterator<T>*)>;

template <typename T>
IteratorPtr<T> HoldIterator(IIterator<T>* iterator)
{
    return IteratorPtr<T>(iterator, &IIterator<T>::Releaser);
}

} // namespace Brodix
