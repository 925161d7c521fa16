#include "app/QuestionAccess.h"

#include <QAccessibleActionInterface>
#include <QAccessibleWidget>

#include <memory>
#include <vector>

namespace qd {

namespace {

// The action that picks an ordering option's marker bar (the target of the
// next move); the press itself is the standard one.
const QString& targetAction()
{
    static const QString name = QStringLiteral("SetTarget");
    return name;
}

class QuestionAreaAccessible;

// One item of the question screen: index 0 is the question text, 1 on the
// options. It reads its source at every call, so it never goes stale: a
// new question simply gives the same items other contents.
class QuestionItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    QuestionItemAccessible(QuestionArea* area, int index) : m_area(area), m_index(index) {}

    bool isValid() const override
    {
        const QuestionAccessSource* s = source();
        return s != nullptr && s->questionShown() && m_index <= s->optionCount();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override
    {
        return m_area != nullptr && m_area->window() != nullptr ? m_area->window()->windowHandle()
                                                                : nullptr;
    }
    QAccessibleInterface* parent() const override
    {
        return m_area != nullptr ? QAccessible::queryAccessibleInterface(m_area.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid()) {
            return {};
        }
        if (m_index == 0) {
            return t == QAccessible::Name ? source()->questionText() : QString();
        }
        const AccessibleOption o = option();
        switch (t) {
        case QAccessible::Name:
            return o.name;
        case QAccessible::Description:
            return o.description;
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        if (!isValid() || m_index == 0 || m_area == nullptr) {
            return m_area != nullptr ? QRect(m_area->mapToGlobal(QPoint(0, 0)), m_area->size())
                                     : QRect();
        }
        const QWidget* w = m_area->parentWidget();
        const QRect r = option().rect;
        const double s = m_area->scale();
        const QRect shown(QPoint(int(r.left() * s), int(r.top() * s)),
                          QPoint(int(r.right() * s), int(r.bottom() * s)));
        return QRect(w->mapToGlobal(shown.topLeft()), shown.size());
    }

    QAccessible::Role role() const override
    {
        if (m_index == 0) {
            return QAccessible::StaticText;
        }
        return isValid() ? option().role : QAccessible::NoRole;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        if (m_index == 0) {
            s.readOnly = true;
            return s;
        }
        const AccessibleOption o = option();
        s.focusable = true;
        s.checkable = true;
        s.checked = o.chosen;
        s.focused = o.focused;
        s.selected = o.target;
        s.selectable = o.hasMarker;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ActionInterface && m_index > 0) {
            return static_cast<QAccessibleActionInterface*>(this);
        }
        return nullptr;
    }

    QStringList actionNames() const override
    {
        if (!isValid() || m_index == 0) {
            return {};
        }
        if (option().hasMarker) {
            return {pressAction(), targetAction()};
        }
        return {pressAction()};
    }
    QString localizedActionDescription(const QString& name) const override
    {
        if (name == targetAction()) {
            return QStringLiteral("Обрати місце для переміщення");
        }
        return QAccessibleActionInterface::localizedActionDescription(name);
    }
    void doAction(const QString& name) override
    {
        if (!isValid() || m_index == 0) {
            return;
        }
        if (name == pressAction() || name == targetAction()) {
            source()->pressOption(m_index - 1, name == targetAction());
        }
    }
    QStringList keyBindingsForAction(const QString& name) const override
    {
        if (name == pressAction()) {
            return {QStringLiteral("Space")};
        }
        if (name == targetAction()) {
            return {QStringLiteral("Left, Space")};
        }
        return {};
    }

private:
    QuestionAccessSource* source() const { return m_area != nullptr ? m_area->source() : nullptr; }
    AccessibleOption option() const { return source()->option(m_index - 1); }

    QPointer<QuestionArea> m_area;
    int m_index;
};

// The question screen: the question text, then every option.
class QuestionAreaAccessible : public QAccessibleWidget
{
public:
    explicit QuestionAreaAccessible(QuestionArea* area)
        : QAccessibleWidget(area, QAccessible::Pane, QStringLiteral("Питання"))
    {
    }

    QuestionArea* area() const { return static_cast<QuestionArea*>(widget()); }

    int childCount() const override
    {
        const QuestionAccessSource* s = area()->source();
        return s != nullptr && s->questionShown() ? 1 + s->optionCount() : 0;
    }

    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount()) {
            return nullptr;
        }
        // The items are made once each and kept: the bridge knows them by
        // their id, and an item reads its contents when asked.
        while (int(m_items.size()) <= index) {
            auto* item = new QuestionItemAccessible(area(), int(m_items.size()));
            QAccessible::registerAccessibleInterface(item);
            m_items.push_back(QAccessible::uniqueId(item));
        }
        return QAccessible::accessibleInterface(m_items[std::size_t(index)]);
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            if (QAccessible::accessibleInterface(m_items[i]) == child) {
                return int(i) < childCount() ? int(i) : -1;
            }
        }
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        for (int i = childCount() - 1; i >= 1; --i) {
            QAccessibleInterface* c = child(i);
            if (c != nullptr && c->rect().contains(x, y)) {
                return c;
            }
        }
        return nullptr;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            return QStringLiteral("Питання");
        }
        return QAccessibleWidget::text(t);
    }

private:
    mutable std::vector<QAccessible::Id> m_items;
};

QAccessibleInterface* questionAreaFactory(const QString&, QObject* object)
{
    if (auto* area = qobject_cast<QuestionArea*>(object)) {
        return new QuestionAreaAccessible(area);
    }
    return nullptr;
}

} // namespace

QuestionArea::QuestionArea(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("QuestionScreen"));
    // The window under it draws the screen and answers the mouse.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    installAccessibility();
}

void QuestionArea::notifyChanged()
{
    if (!QAccessible::isActive() || m_source == nullptr || !m_source->questionShown()) {
        return;
    }
    QAccessibleInterface* me = QAccessible::queryAccessibleInterface(this);
    if (me == nullptr) {
        return;
    }
    int focused = -1;
    for (int i = 1; i < me->childCount(); ++i) {
        QAccessibleInterface* c = me->child(i);
        if (c == nullptr) {
            continue;
        }
        QAccessible::State changed;
        changed.checked = true;
        changed.focused = true;
        changed.selected = true;
        QAccessibleStateChangeEvent ev(c, changed);
        QAccessible::updateAccessibility(&ev);
        if (c->state().focused) {
            focused = i;
        }
    }
    tellTexts(me);
    // The keyboard's focus moved to another option: a screen reader reads
    // it out, as it does for a focused control.
    if (focused != m_focused && focused > 0) {
        QAccessibleEvent ev(me->child(focused), QAccessible::Focus);
        QAccessible::updateAccessibility(&ev);
    }
    m_focused = focused;
}

void QuestionArea::notifyQuestionChanged()
{
    if (!QAccessible::isActive() || m_source == nullptr || !m_source->questionShown()) {
        return;
    }
    QAccessibleInterface* me = QAccessible::queryAccessibleInterface(this);
    if (me == nullptr) {
        return;
    }
    // The items are kept from question to question with other contents:
    // each is announced as added (AT-SPI's children-changed), and a reader
    // then reads them anew. (The reorder event would say it in one, but
    // the bridge sends it in a form AT-SPI clients reject.)
    for (int i = 0; i < me->childCount(); ++i) {
        if (QAccessibleInterface* c = me->child(i)) {
            QAccessibleEvent added(c, QAccessible::ObjectCreated);
            QAccessible::updateAccessibility(&added);
        }
    }
    tellTexts(me);
    m_focused = -1;
}

void QuestionArea::tellTexts(QAccessibleInterface* me)
{
    const int n = me->childCount();
    if (int(m_told.size()) < n) {
        m_told.resize(std::size_t(n));
    }
    for (int i = 0; i < n; ++i) {
        QAccessibleInterface* c = me->child(i);
        if (c == nullptr) {
            continue;
        }
        auto& [name, description] = m_told[std::size_t(i)];
        const QString nowName = c->text(QAccessible::Name);
        const QString nowDescription = c->text(QAccessible::Description);
        if (nowName != name) {
            name = nowName;
            QAccessibleEvent ev(c, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&ev);
        }
        if (nowDescription != description) {
            description = nowDescription;
            QAccessibleEvent ev(c, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&ev);
        }
    }
}

void QuestionArea::installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(questionAreaFactory);
        return true;
    }();
    (void)installed;
}

} // namespace qd
