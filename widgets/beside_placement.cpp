// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/beside_placement.h"

#include <algorithm>
#include <array>

namespace snr {

namespace {

// `start` moved as little as possible for `length` to lie within [low, high] (high exclusive).
int clamped(int start, int length, int low, int high) { return std::clamp(start, low, std::max(low, high - length)); }

}  // namespace

QRect place_beside(const QRect& main, QSize wanted, const QRect& free, int gap, QSize least)
{
    const int left = free.left(), top = free.top();
    const int right = free.left() + free.width(), bottom = free.top() + free.height();  // exclusive
    const int main_right = main.left() + main.width(), main_bottom = main.top() + main.height();
    // The room of each side in the order tried: right, left, below, above (a main window partly
    // off the screen leaves the screen's edge as the room's far edge).
    const auto room = [&](int room_left, int room_top, int room_right, int room_bottom) {
        return QRect(QPoint(room_left, room_top), QPoint(room_right - 1, room_bottom - 1)).intersected(free);
    };
    const std::array<QRect, 4> rooms{
        room(main_right + gap, top, right, bottom),
        room(left, top, main.left() - gap, bottom),
        room(left, main_bottom + gap, right, bottom),
        room(left, top, right, main.top() - gap),
    };
    const auto fitting = [&](const QRect& room) {
        return QSize(std::min(wanted.width(), std::max(room.width(), 0)),
                     std::min(wanted.height(), std::max(room.height(), 0)));
    };
    std::size_t best = 0;
    long long best_area = -1;
    for (std::size_t side = 0; side < rooms.size(); ++side) {
        const QSize size = fitting(rooms[side]);
        const long long area = static_cast<long long>(size.width()) * size.height();
        if (size == wanted || area > best_area) {
            best = side;
            best_area = area;
            if (size == wanted)
                break;
        }
    }
    const QRect& chosen = rooms[best];
    const QSize size = fitting(chosen);
    if (size.width() < std::min(least.width(), wanted.width()) ||
        size.height() < std::min(least.height(), wanted.height())) {
        const QSize inside(std::min(wanted.width(), free.width()), std::min(wanted.height(), free.height()));
        return {QPoint(clamped(main_right + gap, inside.width(), left, right),
                       clamped(main.top(), inside.height(), top, bottom)),
                inside};
    }
    // Beside the main window: from the edge that faces it, level with it along that edge.
    const bool beside_horizontally = best < 2;
    int x = 0, y = 0;
    if (beside_horizontally) {
        x = best == 0 ? chosen.left() : chosen.left() + chosen.width() - size.width();
        y = clamped(main.top(), size.height(), top, bottom);
    } else {
        y = best == 2 ? chosen.top() : chosen.top() + chosen.height() - size.height();
        x = clamped(main.left(), size.width(), left, right);
    }
    return {QPoint(x, y), size};
}

}  // namespace snr
