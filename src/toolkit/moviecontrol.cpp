// SPDX-License-Identifier: GPL-3.0-or-later
// moviecontrol.cpp - the movie-player control on Qt widgets, showing frames from the movie toolkit.
#include "toolkit/moviecontrol.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <unordered_map>

#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include "toolkit/localized.h"

// Often enough for smooth video; while paused the same tick notices times set from outside.
static constexpr int kTickMilliseconds = 20;
// The interface file's stand-in for the player (see moviecontrol.h).
static const QString kPlaceholderName = QStringLiteral("movieControl");

struct MovieControlState {
    Movie movie = nullptr;
    QLabel* frame = nullptr;
    QToolButton* play = nullptr;
    QSlider* slider = nullptr;
    QLabel* time = nullptr;
    QTimer* timer = nullptr;
    QSize frameSize;
    TimeValue shownTime = -1;
    bool playing = false;
    bool settingSlider = false;  // the slider moves because the movie did, not the user
    QElapsedTimer clock;         // since playing started at playStart
    TimeValue playStart = 0;
    // The slider counts in steps of this many time units, so that its range fits an int.
    TimeValue sliderUnit = 1;
};

static std::unordered_map<QWidget*, std::unique_ptr<MovieControlState>> controls;

static MovieControlState* stateOf(ControlRef control) {
    const auto found = controls.find(control);
    return found == controls.end() ? nullptr : found->second.get();
}

QString MovieTimeText(TimeValue time, TimeScale scale) {
    const long long seconds = scale > 0 && time > 0 ? time / scale : 0;
    const QChar zero('0');
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero);
}

static void showCurrentTime(MovieControlState* state) {
    const TimeValue now = GetMovieTime(state->movie);
    if (now == state->shownTime) return;
    state->shownTime = now;
    QImage picture;
    if (GetMoviePict(state->movie, &picture) == 0) {
        // A box smaller than the movie (room taken for the bar) shows it whole, centred.
        if (picture.size() != state->frameSize)
            picture =
                picture.scaled(state->frameSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        state->frame->setPixmap(QPixmap::fromImage(picture));
    }
    state->settingSlider = true;
    state->slider->setValue(static_cast<int>(now / state->sliderUnit));
    state->settingSlider = false;
    const TimeScale scale = GetMovieTimeScale(state->movie);
    state->time->setText(MovieTimeText(now, scale) + QStringLiteral(" / ") +
                         MovieTimeText(GetMovieDuration(state->movie), scale));
}

static void setPlaying(MovieControlState* state, bool playing) {
    if (playing && GetMovieTime(state->movie) >= GetMovieDuration(state->movie))
        SetMovieTimeValue(state->movie, 0);  // play again from the start
    state->playing = playing;
    state->playStart = GetMovieTime(state->movie);
    state->clock.restart();
    state->play->setIcon(
        state->play->style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    // The button's name says what pressing it does now.
    state->play->setAccessibleName(LocalizedString(playing ? "Pause" : "Play"));
}

static void tick(MovieControlState* state) {
    if (state->playing) {
        const TimeValue elapsed = state->clock.elapsed() * GetMovieTimeScale(state->movie) / 1000;
        SetMovieTimeValue(state->movie, state->playStart + elapsed);
        if (GetMovieTime(state->movie) >= GetMovieDuration(state->movie)) setPlaying(state, false);
    }
    showCurrentTime(state);
}

static void buildBar(QWidget* container, MovieControlState* state, const Rect& box) {
    auto* bar = new QWidget(container);
    bar->setGeometry(0, box.bottom - box.top, box.right - box.left, kMovieControllerHeight);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(2, 0, 4, 0);
    layout->setSpacing(4);
    state->play = new QToolButton(bar);
    state->play->setObjectName(QStringLiteral("moviePlay"));
    state->play->setAutoRaise(true);
    state->play->setAccessibleDescription(LocalizedString("Plays or pauses the movie."));
    state->slider = new QSlider(Qt::Horizontal, bar);
    state->slider->setObjectName(QStringLiteral("moviePosition"));
    state->slider->setAccessibleName(LocalizedString("Position"));
    state->slider->setAccessibleDescription(LocalizedString("Moves the movie to another time."));
    const TimeValue duration = GetMovieDuration(state->movie);
    state->sliderUnit = std::max<TimeValue>(1, duration / INT_MAX + 1);
    state->slider->setRange(0, static_cast<int>(duration / state->sliderUnit));
    state->time = new QLabel(bar);
    state->time->setObjectName(QStringLiteral("movieTime"));
    state->time->setAccessibleName(LocalizedString("Time"));
    layout->addWidget(state->play);
    layout->addWidget(state->slider, 1);
    layout->addWidget(state->time);

    QObject::connect(state->play, &QToolButton::clicked,
                     [state] { setPlaying(state, !state->playing); });
    QObject::connect(state->slider, &QSlider::valueChanged, [state](int value) {
        if (state->settingSlider) return;
        SetMovieTimeValue(state->movie, value * state->sliderUnit);
        if (state->playing) setPlaying(state, true);
        showCurrentTime(state);
    });
}

// The player takes over the placeholder's number, name and turn in the focus order; the
// placeholder goes. Without this the player's buttons would come last in the tab order, after
// the window's OK button.
static void takePlaceholdersPlace(QWidget* placeholder, QWidget* container,
                                  const QList<QWidget*>& focusable) {
    for (const char* name : {"signature", "controlID"})
        container->setProperty(name, placeholder->property(name));
    container->setAccessibleName(placeholder->accessibleName());
    container->setAccessibleDescription(placeholder->accessibleDescription());

    QWidget* window = placeholder->window();
    QList<QWidget*> order;
    for (QWidget* widget = window->nextInFocusChain(); widget != window;
         widget = widget->nextInFocusChain()) {
        if (widget == placeholder)
            order += focusable;
        else if (!focusable.contains(widget) && (widget->focusPolicy() & Qt::TabFocus))
            order.append(widget);
    }
    for (qsizetype i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
    delete placeholder;
}

OSStatus CreateMovieControl(WindowRef window, const Rect& box, Movie movie, ControlRef* control) {
    if (!window || !movie) return kParamErr;
    const int width = std::max(1, box.right - box.left);
    const int height = std::max(1, box.bottom - box.top);
    QWidget* placeholder = window->findChild<QWidget*>(kPlaceholderName);
    auto* container = new QWidget(window);
    container->setObjectName(QStringLiteral("movieControl"));
    container->setGeometry(box.left, box.top, width, height + kMovieControllerHeight);

    auto owned = std::make_unique<MovieControlState>();
    MovieControlState* state = owned.get();
    state->movie = movie;
    state->frameSize = QSize(width, height);
    state->frame = new QLabel(container);
    state->frame->setObjectName(QStringLiteral("movieFrame"));
    state->frame->setGeometry(0, 0, width, height);
    state->frame->setStyleSheet(QStringLiteral("background: black"));
    state->frame->setAlignment(Qt::AlignCenter);
    buildBar(container, state, box);
    setPlaying(state, false);

    state->timer = new QTimer(container);
    QObject::connect(state->timer, &QTimer::timeout, [state] { tick(state); });
    state->timer->start(kTickMilliseconds);
    QObject::connect(container, &QObject::destroyed, [container] { controls.erase(container); });
    controls[container] = std::move(owned);

    if (placeholder) takePlaceholdersPlace(placeholder, container, {state->play, state->slider});

    showCurrentTime(state);
    container->show();
    *control = container;
    return 0;
}

void StartMovieControl(ControlRef control) {
    if (MovieControlState* state = stateOf(control); state && !state->playing)
        setPlaying(state, true);
}

void StopMovieControl(ControlRef control) {
    if (MovieControlState* state = stateOf(control); state && state->playing)
        setPlaying(state, false);
}

bool IsMovieControlPlaying(ControlRef control) {
    const MovieControlState* state = stateOf(control);
    return state && state->playing;
}
