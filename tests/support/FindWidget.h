#pragma once

#include <QObject>
#include <QString>
#include <QWidget>

#include <stdexcept>
#include <string>

namespace qdtest {

// The child of `parent` with this object name and type. A missing one ends
// the test with a failure naming it (GoogleTest reports the exception)
// instead of crashing the whole test program on a null pointer.
template <typename T = QWidget> T* child(const QObject& parent, const char* name)
{
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found) {
        throw std::runtime_error(std::string("no child \"") + name + "\" of type " +
                                 T::staticMetaObject.className() + " in " +
                                 parent.metaObject()->className());
    }
    return found;
}

} // namespace qdtest
