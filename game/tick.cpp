#include "game/tick.h"

#include "game/contact.h"
#include "game/physics.h"
#include "game/state.h"
#include "game/terrain.h"

static const GameHost* host = nullptr;

// Where the site's row would put the craft's origin, counted up from the bottom of the window's
// client area with its menu bar; stands only while no terrain exists.
constexpr int PROVISIONAL_ORIGIN_ABOVE_BOTTOM = 100;
// The debris frames are 64 rows high and end on the craft picture's bottom row.
constexpr int DEBRIS_FRAME_ABOVE_CRAFT = 34;
// Each debris picture stays two ticks; then the last two alternate until the animation ends.
constexpr int TICKS_PER_DEBRIS_PICTURE = 2;

void SetGameHost(const GameHost* newHost) {
    host = newHost;
}

static void ReleaseThrustButtons() {
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        host->releaseThrustButton(id);
    }
}

static void AnnounceOutcome(GameWindow window, Outcome outcome) {
    flight.outcome = outcome;
    // Ticks keep arriving while the box's own loop runs; they must find nothing to do.
    flight.phase = PHASE_DIALOG;
    host->showEndGameDialog(window);
}

static void WaitForPlayer(GameWindow window) {
    host->enableInput(window, 1);
    host->showBusyCursor(0);
    host->focusWindow(window);
    flight.phase = PHASE_READY;
}

static void StartNewGame(GameWindow window) {
    host->enableInput(window, 0);
    host->showBusyCursor(1);

    DrawSurface surface = host->getSurface(window);
    host->fillBlack(surface, -1, -1, screen.screenWidth + 1, screen.groundHeight + 1);
    host->releaseSurface(window, surface);

    ResetCraft();
    screen.originX = static_cast<int16_t>(screen.screenWidth / 2);
    screen.originY = static_cast<int16_t>(screen.groundHeight + host->menuBarHeight() -
                                          PROVISIONAL_ORIGIN_ABOVE_BOTTOM);
    NewTerrain();
    host->repaint(window);

    if (flight.calibrated == 0) {
        // Input stays blocked and the cursor busy until the time step is known.
        flight.calibrationFrames = 0;
        flight.calibrationStartTick = host->tickCount();
        flight.phase = PHASE_CALIBRATE;
        return;
    }
    surface = host->getSurface(window);
    host->drawCraft(surface, 0);
    host->drawInstruments(surface, 0);
    host->releaseSurface(window, surface);
    WaitForPlayer(window);
}

static void Calibrate(GameWindow window) {
    // Each calibration tick does the drawing of a flight tick, so its timing is representative.
    DrawSurface surface = host->getSurface(window);
    host->drawCraft(surface, 0);
    host->drawInstruments(surface, 0);
    host->releaseSurface(window, surface);

    flight.calibrationFrames = static_cast<int16_t>(flight.calibrationFrames + 1);
    if (flight.calibrationFrames != CALIBRATION_TICKS) {
        return;
    }
    // Unsigned difference: a wrap of the tick count in between does no harm.
    const uint32_t elapsed = host->tickCount() - flight.calibrationStartTick;
    settings.timeStep =
        static_cast<float>(static_cast<double>(elapsed) / (flight.calibrationFrames * 1000.0) *
                           SIMULATED_SECONDS_PER_REAL_SECOND);
    WaitForPlayer(window);
    flight.calibrated = 1;
}

void GameStandStill(GameWindow window) {
    if (host != nullptr && flight.phase == PHASE_CALIBRATE) {
        host->enableInput(window, 1);
    }
}

void GameResume(GameWindow window) {
    if (host != nullptr && flight.phase == PHASE_CALIBRATE) {
        flight.calibrationFrames = 0;
        flight.calibrationStartTick = host->tickCount();
        host->enableInput(window, 0);
        host->showBusyCursor(1);
    }
}

static void Restart(GameWindow window) {
    ResetCraft();
    host->repaint(window);
    flight.phase = PHASE_READY;
}

static bool OutOfRange() {
    return flight.altitude > MAX_ALTITUDE || flight.altitude < MIN_ALTITUDE ||
           flight.posX > MAX_DISTANCE || flight.posX < -MAX_DISTANCE;
}

static void Fly(GameWindow window) {
    DrawSurface surface = host->getSurface(window);
    PhysicsStep();
    const int contact = host->drawCraft(surface, 1);
    host->drawInstruments(surface, 0);
    if (contact != 0) {
        host->drawInstruments(surface, 1);
        // Stored before the second drawing, which then removes the flames and draws none.
        flight.phase = PHASE_TOUCHDOWN;
        host->drawCraft(surface, 1);
    } else if (OutOfRange()) {
        flight.phase = PHASE_LOST;
        host->drawInstruments(surface, 1);
    }
    host->releaseSurface(window, surface);
}

// A speed equal to its limit is safe.
static bool TooFastDown() {
    return flight.vy > settings.maxLandingSpeedY || flight.vy < -settings.maxLandingSpeedY;
}

static bool TooFastSideways() {
    return flight.vx > settings.maxLandingSpeedX || flight.vx < -settings.maxLandingSpeedX;
}

static void JudgeTouchdown() {
    const ScreenPoint at = WorldToScreen(flight.posX, flight.altitude);
    flight.crashX = at.x;
    flight.crashY = at.y;
    if (!CraftStandsOnGround(at) || TooFastDown() || TooFastSideways()) {
        flight.phase = PHASE_CRASH_SINK;
    } else {
        flight.phase = PHASE_LANDED;
    }
}

// The crash pictures stand at the craft's place; the taller debris frames end on its bottom row.
static int16_t PictureTop(int picture) {
    return picture < PICTURE_DEBRIS_1
               ? flight.crashY
               : static_cast<int16_t>(flight.crashY - DEBRIS_FRAME_ABOVE_CRAFT);
}

static void DrawCrashPicture(DrawSurface surface, int picture) {
    host->drawPicture(surface, flight.crashX, PictureTop(picture), picture);
    flight.wreckPicture = static_cast<int16_t>(picture + 1);
}

void RedrawCraft(DrawSurface surface) {
    if (host == nullptr) {
        return;
    }
    if (flight.wreckPicture != 0) {
        const int picture = flight.wreckPicture - 1;
        host->drawPicture(surface, flight.crashX, PictureTop(picture), picture);
    } else {
        host->drawCraft(surface, 0);
    }
}

static void SinkIntoGround(GameWindow window) {
    DrawSurface surface = host->getSurface(window);
    // Each copy covers the last but its top row, and the craft picture's top row is black.
    while (flight.crashY < screen.groundHeight) {
        if (TerrainContains(terrainRegion, flight.crashX + craftWidth / 2,
                            flight.crashY + craftHeight)) {
            break;
        }
        flight.crashY = static_cast<int16_t>(flight.crashY + 1);
        host->copyCraft(surface, flight.crashX, flight.crashY);
    }
    DrawCrashPicture(surface, PICTURE_EXPLOSION_1);
    host->releaseSurface(window, surface);
    flight.phase = PHASE_EXPLODE_2;
}

static void ShowExplosion(GameWindow window, int picture, GamePhase next) {
    DrawSurface surface = host->getSurface(window);
    DrawCrashPicture(surface, picture);
    host->releaseSurface(window, surface);
    flight.phase = next;
}

// Decided only now, from the velocities of the touchdown, which nothing has changed since.
static Outcome CrashKind() {
    if (TooFastDown()) {
        return OUTCOME_VERTICAL_CRASH;
    }
    return TooFastSideways() ? OUTCOME_HORIZONTAL_CRASH : OUTCOME_MISSED_SITE;
}

static void PlayDebris(GameWindow window) {
    DrawSurface surface = host->getSurface(window);
    const int frame = flight.debrisFrame;
    const int picture = frame / TICKS_PER_DEBRIS_PICTURE;
    if (picture < DEBRIS_PICTURES) {
        DrawCrashPicture(surface, PICTURE_DEBRIS_1 + picture);
        flight.debrisFrame = static_cast<int16_t>(frame + 1);
    } else if (frame < DEBRIS_TICKS) {
        // The last two pictures alternate, so the dying fire flickers.
        const int shown = picture % 2 != 0 ? DEBRIS_PICTURES - 1 : DEBRIS_PICTURES - 2;
        DrawCrashPicture(surface, PICTURE_DEBRIS_1 + shown);
        flight.debrisFrame = static_cast<int16_t>(frame + 1);
    } else {
        DrawCrashPicture(surface, PICTURE_EXPLOSION_1 + 2);
        ReleaseThrustButtons();
        AnnounceOutcome(window, CrashKind());
    }
    host->releaseSurface(window, surface);
}

void GameTick(GameWindow window) {
    if (host == nullptr) {
        return;
    }
    switch (flight.phase) {
        case PHASE_NEW_GAME:
            StartNewGame(window);
            break;
        case PHASE_CALIBRATE:
            Calibrate(window);
            break;
        case PHASE_RESTART:
            Restart(window);
            break;
        case PHASE_FLYING:
            Fly(window);
            break;
        case PHASE_TOUCHDOWN:
            JudgeTouchdown();
            break;
        case PHASE_LANDED:
            ReleaseThrustButtons();
            AnnounceOutcome(window, OUTCOME_LANDED);
            break;
        case PHASE_CRASH_SINK:
            SinkIntoGround(window);
            break;
        case PHASE_EXPLODE_2:
            ShowExplosion(window, PICTURE_EXPLOSION_1 + 1, PHASE_EXPLODE_3);
            break;
        case PHASE_EXPLODE_3:
            ShowExplosion(window, PICTURE_EXPLOSION_1 + 2, PHASE_DEBRIS);
            flight.debrisFrame = 0;
            break;
        case PHASE_DEBRIS:
            PlayDebris(window);
            break;
        case PHASE_LOST:
            ReleaseThrustButtons();
            AnnounceOutcome(window, OUTCOME_LOST);
            break;
        default:
            // PHASE_DIALOG and PHASE_READY wait; 0 and unknown values do nothing.
            break;
    }
}
