#pragma once

#include "Player/PlayerMorph.h"

#include <QObject>
#include <QRectF>
#include <QtQmlIntegration>

#include <array>
#include <optional>

namespace talvoro {

// Where the bar's and the page's copies of the travelling elements stand, in the
// morph layer's coordinates. Each marked copy reports its bounds under its role
// (the later report of a role wins) and withdraws them when it leaves; a role
// nobody reported stands at its fallback rectangle. A copy inside a scrolled view
// also reports the part of the layer that view shows, and the travelling copy is
// drawn only there.
class PlayerSharedElementRegistry : public QObject {
    Q_OBJECT
    QML_ELEMENT
    // Moves with every frame of the morph: markers re-report on it, because an item
    // hears nothing when only one of its ancestors moves.
    Q_PROPERTY(qreal progress READ progress WRITE setProgress NOTIFY progressChanged)
    // Counts the changes of the reported bounds, for bindings that resolve frames.
    Q_PROPERTY(int revision READ revision NOTIFY framesChanged)

public:
    using QObject::QObject;

    // `shownArea` null: nothing around the copy cuts it.
    Q_INVOKABLE void report(talvoro::PlayerMorph::Role role, const QRectF &bounds, const QRectF &shownArea = {});
    Q_INVOKABLE void withdraw(talvoro::PlayerMorph::Role role);
    std::optional<QRectF> reported(playermorph::Role role) const { return m_bounds.at(std::size_t(role)); }

    // The reported bounds of `role`, or its fallback in an area of width × height.
    Q_INVOKABLE QRectF frame(talvoro::PlayerMorph::Role role, qreal width, qreal height) const;
    // An element's rectangle at the current progress, from its compact to its expanded role.
    Q_INVOKABLE QRectF travellingFrame(
        talvoro::PlayerMorph::Role compact, talvoro::PlayerMorph::Role expanded, qreal width, qreal height) const;
    // The part of the area of width × height the element may be drawn in at the
    // current progress: from what its compact copy's view shows to what its
    // expanded copy's view shows.
    Q_INVOKABLE QRectF travellingArea(
        talvoro::PlayerMorph::Role compact, talvoro::PlayerMorph::Role expanded, qreal width, qreal height) const;

    qreal progress() const { return m_progress; }
    int revision() const { return m_revision; }
    void setProgress(qreal progress);

Q_SIGNALS:
    void framesChanged();
    void progressChanged();

private:
    std::array<std::optional<QRectF>, playermorph::roleCount> m_bounds;
    std::array<QRectF, playermorph::roleCount> m_shownAreas;
    qreal m_progress = 0;
    int m_revision = 0;
};

} // namespace talvoro
