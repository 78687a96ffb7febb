#!/usr/bin/env bash
# Breaks the code on purpose, one way at a time, and expects a test to notice each: a check
# that the tests catch the faults they are there for. Slow (each case rebuilds a test
# program), so it is run by hand, not by CI.
#
#   tools/mutation-check.sh            every case in the table below
#   tools/mutation-check.sh WORD       only the cases whose name matches WORD (an extended
#                                      regular expression: 'speed|echo' runs both kinds)
#   KEEP=1 tools/mutation-check.sh     keep the scratch copy and its build (the path is printed)
#   PROGRAM=tone_tests tools/...       only the cases that one test program is to catch
#   STALE=1 tools/mutation-check.sh    only check that every case's text is found once (quick)
#
# It copies the working tree (committed and uncommitted files) to a scratch folder and builds
# the test programs there once; the tree itself is never touched. Then, for each case: put the
# replacement in place of the exact text (which must occur exactly once in the file), rebuild
# the test program, run it, expect it to fail, put the file back. At the end: "N of N caught".
set -euo pipefail
cd "$(dirname "$0")/.."

# The table. One case per call:
#   mutant "what goes wrong" FILE 'exact text' 'replacement' TEST-PROGRAM
#   tenfold "a constant" FILE 'text before its value' VALUE LARGER SMALLER TEST-PROGRAM
# The texts are bash strings: '...' as they are, or $'...' for quotes, tabs and newlines.
cases() {
  # The main window
  mutant "a Clear button that does not clear" src/shell/main_window_controls.cpp \
    'Text3->clear();' '' main_window_tests
  mutant "the transmit pane shows nothing of the logger's" src/shell/main_window.cpp \
    $'const std::string& chunk) {\n    if (ShowWK->isChecked()) {' \
    $'const std::string& chunk) {\n    if (false) {' main_window_tests
  mutant "focus reaches the traffic panes of the narrow window" src/shell/main_window.cpp \
    'control->setVisible(control->geometry().right() < inside);' 'control->setVisible(true);' \
    main_window_tests
  mutant "Hide leaves a sliver of the typing pane" src/shell/main_window.cpp \
    'resize((wanted - kFrameTwips) / kTwipsPerPixel, height());' \
    'resize(wanted / kTwipsPerPixel, height());' main_window_tests
  mutant "the bottom row cut off under the menu bar" src/shell/main_window_controls.cpp \
    'surface->setMinimumSize(kPanelWidth, kPanelHeight);' \
    'surface->setMinimumWidth(kPanelWidth);' main_window_tests
  mutant "a dragged speed bar sends every step" src/shell/main_window_controls.cpp \
    'VScroll2->setTracking(false);' '' main_window_tests
  mutant "a lost port does not say the lights changed" src/bridge/connection.cpp \
    'emit lightsChanged();' '' connection_tests
  mutant "the speed field limited at each keystroke" src/shell/main_window_controls.cpp \
    'connect(Text4, &QLineEdit::editingFinished,' 'connect(Text4, &QLineEdit::textChanged,' \
    main_window_tests
  mutant "the port fields as narrow as the design's" src/shell/main_window_controls.cpp \
    'twips(630, 960, 645, 375)' 'twips(720, 960, 375, 375)' main_window_tests
  mutant "Sound replaces the open Devices window" src/shell/main_window.cpp \
    'if (devicesWindow_ == nullptr) {' 'if (true) {' main_window_tests
  mutant "Test repeats the same sound problem at every click" src/bridge/session.cpp \
    'if (problem.isEmpty() || problem == soundProblemSaid_) {' 'if (problem.isEmpty()) {' \
    main_window_tests
  # The session, Connect and the relay
  mutant "the bar follows our own speed command read back" src/bridge/session.cpp \
    'if (origin != Origin::Logger) {' 'if (false) {' connect_states_tests
  mutant "a half-failed Connect leaves the side that opened open" src/bridge/connection.cpp \
    $'!keyer_.controls.lightShown()) {\n            closeAll();' \
    $'!keyer_.controls.lightShown()) {' connect_states_tests
  mutant "a lost port leaves the other side open" src/bridge/connection.cpp \
    $'closeAll();\n    emit lightsChanged();' 'emit lightsChanged();' connection_tests
  mutant "what the logger's port holds is dropped when it closes" src/bridge/session.cpp \
    'connection_->setBeforeClosing([this] { relay_->takeAllWaiting(); });' '' \
    connect_states_tests
  mutant "Disconnect leaves the monitor keying" src/bridge/session.cpp \
    'connect(connection_, &Connection::closed, monitor_, &tone::MonitorPlayer::keyerClosed);' \
    '' connect_states_tests
  mutant "closing a port drops the writes Qt still holds" src/platform/qt_serial_port.cpp \
    'port_.flush();' '' connect_states_tests
  mutant "a new keyer port forgets what waited for it" src/bridge/relay.cpp \
    'placing_.restart(pending);' $'placing_.restart({});\n    unsent_.clear();' relay_tests
  mutant "up to ten times as much waits in the relay" src/bridge/relay.h \
    'kMostHeldBytes = 4096;' 'kMostHeldBytes = 40960;' relay_tests
  mutant "typed keys are not told to the echo filter" src/bridge/relay.cpp \
    'echoes_.given(events, piece.origin == Origin::Typed);' 'echoes_.given(events, false);' \
    relay_tests
  # Where the operator's bytes go, and which keyer bytes are typed echoes
  mutant "own bytes go in even inside a command" src/bridge/own_bytes_queue.cpp \
    $'if (accepted_.atBoundary()) {\n        accept({std::move(bytes), origin}, out);' \
    $'if (true) {\n        accept({std::move(bytes), origin}, out);' bridge_logic_tests
  mutant "a chunk is not cut where the command under way ends" src/bridge/own_bytes_queue.cpp \
    'cut = i + 1;' 'cut = bytes.size();' bridge_logic_tests
  mutant "a newer speed does not replace a waiting one" src/bridge/own_bytes_queue.cpp \
    'if (origin == Origin::Command) {' 'if (false) {' bridge_logic_tests
  mutant "the logger's echoes held back too" src/bridge/typed_echoes.cpp \
    $'if (!typed) {\n            out += byte;' $'if (false) {\n            out += byte;' \
    bridge_logic_tests
  mutant "a typed echo passed to the logger" src/bridge/typed_echoes.cpp \
    $'if (!typed) {\n            out += byte;' $'if (true) {\n            out += byte;' \
    bridge_logic_tests
  mutant "a status byte taken for an echo" src/bridge/typed_echoes.cpp \
    'return byte >= 0x20 && byte <= 0x7F;' 'return byte >= 0x20;' bridge_logic_tests
  # The speed
  mutant "the operator's fastest speed ten times higher" src/keyer/speed_command.h \
    'static constexpr int kFastest = 50;' 'static constexpr int kFastest = 500;' keyer_tests
  mutant "the speed command's byte changed" src/keyer/speed_command.cpp \
    'constexpr char kSpeedCommand = 0x02;' 'constexpr char kSpeedCommand = 0x1C;' keyer_tests
  # The end of the program and the command line
  mutant "an ending signal leaves the ports open" src/shell/main_window.cpp \
    $'    session_->closePorts();\n    return error;' '    return error;' signal_end_tests
  mutant "the signal handler writes nothing" src/app/signal_end.cpp \
    '= ::write(pipeEnds[1], &number, 1);' '= 0;' signal_end_tests
  mutant "an unknown option opens the window" src/app/command_line.cpp \
    $'return refused("unknown option \'" + argument + "\'");' 'continue;' command_line_tests
  # The bars
  mutant "the top arrow and the trough above the thumb lower the value" \
    src/shell/value_bar.cpp 'if (action != repeatAction()) {' 'if (true) {' main_window_tests
  mutant "Home goes to the bottom of a bar" src/shell/value_bar.cpp \
    'if (event->key() == Qt::Key_Home || event->key() == Qt::Key_End) {' 'if (false) {' \
    main_window_tests
  # The keys the typing pane sends
  mutant "Ctrl+C reaches the keyer" src/shell/typing_keys.cpp \
    'if (held != Qt::NoModifier && held != (Qt::ControlModifier | Qt::AltModifier)) {' \
    'if (false) {' main_window_tests
  mutant "Delete reaches the keyer" src/shell/typing_keys.cpp \
    'if (text.size() != 1 || !text.at(0).isPrint()) {' 'if (text.size() != 1) {' \
    main_window_tests
  mutant "typed letters go out in lower case" src/shell/typing_keys.cpp \
    'const QChar upper = typed.toUpper();' 'const QChar upper = typed;' main_window_tests
  # Ports and messages
  mutant "COM16 in a port field is read as port 0" src/bridge/port_name_rules.cpp \
    'field.remove_prefix(3);' '' port_rules_tests
  mutant "Windows looks for its ports in the working folder" src/bridge/port_name_rules.cpp \
    'if (platform == PortPlatform::Windows) {' 'if (false) {' port_rules_tests
  mutant "the Linux message leaves out the file that was tried" src/bridge/port_message_rules.cpp \
    '", the folder Vantrel was started from, so " + attempt.device + " was tried. Make " +' \
    '", the folder Vantrel was started from, so " + std::string() + " was tried. Make " +' \
    connection_tests
  mutant "the Windows wording loses the keyer side's own words" \
    src/bridge/port_message_rules.cpp '(keyerSide ? " on your computer" : "")' '""' \
    port_rules_tests
  mutant "Linux gets the Windows wording" src/bridge/port_platform.h \
    'inline constexpr PortPlatform kThisPlatform = PortPlatform::Unix;' \
    'inline constexpr PortPlatform kThisPlatform = PortPlatform::Windows;' port_rules_tests
  mutant "a pseudo-terminal whose far end went is not said to have gone away" \
    src/bridge/port_message_rules.cpp '{"inappropriate ioctl for device", PortLoss::Gone},' \
    '{"inappropriate ioctl for device", PortLoss::Unknown},' port_rules_tests
  mutant "a lost port's message drops the system's own words" src/bridge/port_message_rules.cpp \
    'text += " (The system said: " + std::string(description) +' \
    'text += std::string() +' port_rules_tests
  mutant "a second message box on top of the first" src/platform/qt_message_boxes.cpp \
    'if (showing_ == nullptr) {' 'if (true) {' message_boxes_tests
  # Outside text and the update transfers
  mutant "a message box reads a version line as markup, links and all" \
    src/platform/qt_message_boxes.cpp 'box->setTextFormat(Qt::PlainText);' '' update_window_tests
  mutant "a redirection to another server is followed" src/update/update_request.h \
    'QNetworkRequest::SameOriginRedirectPolicy' 'QNetworkRequest::NoLessSafeRedirectPolicy' \
    update_window_tests
  mutant "a silent server reads as a cancel" src/update/reply_facts.h \
    'case QNetworkReply::OperationCanceledError:' 'case QNetworkReply::TimeoutError:' \
    update_window_tests
  mutant "a silent download is numbered as a cancel" src/update/file_download.cpp \
    '? QNetworkReply::TimeoutError' '? QNetworkReply::OperationCanceledError' update_window_tests
  mutant "a second check click says nothing" src/update/about_window.cpp \
    'messages_.inform(text(kCheckStillWaiting));' '' update_window_tests
  # The keyer stream reader
  mutant "the blank is not taken for text" src/keyer/stream_reader.cpp \
    'if (first >= kFirstText) {' 'if (first > kFirstText) {' keyer_tests
  # The monitor and the sidetone
  mutant "a row of the Morse table changed (B as -..)" src/tone/morse.cpp \
    "{'B', \"-...\"}" "{'B', \"-..\"}" tone_tests
  mutant "Test adds TEST to what is queued instead of replacing it" src/tone/keyer_mirror.cpp \
    'while (!items_.empty() && items_.back().start > now) {' 'while (false) {' \
    main_window_tests
  mutant "a volume change reaches the character that is sounding" src/tone/sidetone_renderer.cpp \
    'if (p.mark.startsCharacter) {' 'if (true) {' tone_tests
  mutant "the keyer's PARIS unit of 1.2 / wpm s made 1.15" src/tone/keying.cpp \
    'constexpr double kSecondsPerUnitAtOneWpm = 1.2;' \
    'constexpr double kSecondsPerUnitAtOneWpm = 1.15;' tone_tests
  mutant "characters that arrive while one sounds lose their gap" src/tone/keyer_mirror.cpp \
    'item.start = std::max({item.arrival, previousEnd, keyFreeAt_});' \
    'item.start = std::max({item.arrival, keyFreeAt_});' tone_tests
  mutant "a device change drops what was not heard" src/tone/sidetone_renderer.cpp \
    'if (begun(marks_[i - 1], heardUntil)) {' 'if (begun(marks_[i - 1], next_)) {' tone_tests
  mutant "a pitch change after the first never reaches the tone" src/tone/sidetone_source.cpp \
    'renderer_.offerTone(tone);' \
    'if (renderer_.currentTone() == nullptr) renderer_.offerTone(tone);' tone_tests
  # The keyer's schedule (docs/keyer-timing.md)
  mutant "the tune watchdog x10" src/tone/keyer_mirror.h \
    'kTuneLimit = std::chrono::seconds(100);' 'kTuneLimit = std::chrono::seconds(1000);' tone_tests
  mutant "the tune watchdog /10" src/tone/keyer_mirror.h \
    'kTuneLimit = std::chrono::seconds(100);' 'kTuneLimit = std::chrono::seconds(10);' tone_tests
  mutant "every mark said to follow a rest" src/tone/keyer_mirror.cpp \
    'm.afterRest = i == 0 && rested;' 'm.afterRest = true;' tone_tests
  mutant "no mark said to follow a rest" src/tone/keyer_mirror.cpp \
    'm.afterRest = i == 0 && rested;' 'm.afterRest = false;' tone_tests
  mutant "a clear leaves tune holding the key" src/tone/keyer_mirror.cpp \
    $'cut = true;\n        keyFreeAt_ = at;' 'cut = true;' tone_tests
  mutant "the simulated keyer's tune has no watchdog" tools/vantrel-sim/sim_keyer.cpp \
    'tuneUntil_ = at + kTuneWatchdog;' 'tuneUntil_ = Time::max();' sim_keyer_test
  # The simulated radio and the delaying proxy
  mutant "the radio plays without its delay" tools/vantrel-sim/radio_delay.cpp \
    $'}\n        return at + delay_;' $'}\n        return at;' sim_radio_test
  mutant "the radio takes a step inside a word" tools/vantrel-sim/radio_delay.cpp \
    'if (!keyerUp_ || at - *keyerUp_ >= wordGap) {' 'if (true) {' sim_radio_test
  mutant "a shorter delay runs two words together" tools/vantrel-sim/radio_delay.cpp \
    'delay_ = std::max(delay_, *playedUp_ + wordGap - at);' '' sim_radio_test
  tenfold "the radio's word gap" tools/vantrel-sim/radio_delay.h \
    'kWordGapUnits = ' '5' '50' '0.5' sim_radio_test
  mutant "a step holds only after its moment" tools/common/delay_schedule.cpp \
    'if (step.at > sinceStart) {' 'if (step.at >= sinceStart) {' sim_radio_test
  tenfold "the radio's edge ramp" tools/vantrel-sim/keyed_tone.h \
    'kRampSeconds = ' '0.005' '0.05' '0.0005' sim_radio_test
  mutant "the ramp starts at the edge instead of centred on it" tools/vantrel-sim/keyed_tone.cpp \
    'const double x = (frame - edge.frame + halfRamp_) / (2 * halfRamp_);' \
    'const double x = (frame - edge.frame) / (2 * halfRamp_);' sim_radio_test
  mutant "the noise not as far below the tone as asked" tools/vantrel-sim/radio_sound.cpp \
    'std::pow(10.0, -*settings.noiseDb / 20)' 'std::pow(10.0, -*settings.noiseDb / 10)' \
    sim_radio_test
  tenfold "the frame clock's share of each report" tools/vantrel-sim/frame_clock.h \
    'kShare = 1.0 / ' '16' '160' '1.6' sim_radio_test
  tenfold "the frame clock's jump distance" tools/vantrel-sim/frame_clock.h \
    'kJumpSeconds = ' '0.005' '0.05' '0.0005' sim_radio_test
  mutant "the radio ignores the sound server's latency" tools/vantrel-sim/radio_output.cpp \
    'clock_.report(written_, Clock::now() + std::chrono::microseconds(latency));' \
    'clock_.report(written_, Clock::now());' sim_radio_sound_test
  mutant "a radio option without a sink is taken" tools/vantrel-sim/options.cpp \
    '(radioAsked && o.radio.sink.empty())' 'false' sim_radio_test
  mutant "the proxy sends what is due first, overtaking" tools/delay-proxy/delay_line.cpp \
    'chunks_.push_back({arrived + schedule_.at(arrived - start_), std::move(bytes)});' \
    $'const Time due = arrived + schedule_.at(arrived - start_);\n    auto it = chunks_.end();\n    while (it != chunks_.begin() && std::prev(it)->release > due) {\n        --it;\n    }\n    chunks_.insert(it, Chunk{due, std::move(bytes)});' \
    delay_proxy_test
  mutant "the proxy does not delay" tools/delay-proxy/delay_line.cpp \
    '{arrived + schedule_.at(arrived - start_), std::move(bytes)}' '{arrived, std::move(bytes)}' \
    delay_proxy_test
  mutant "the proxy loses bytes that come together" tools/delay-proxy/delay_line.cpp \
    'out += chunks_.front().bytes;' 'out = chunks_.front().bytes;' delay_proxy_test
  # The sidetone's timing rules (docs/sidetone-timing.md), a row each
  mutant "the device's own count is not capped" src/tone/stream_timeline.cpp \
    'std::min({position.framesPlayed, position.framesWritten, played + since});' \
    'position.framesPlayed;' tone_tests
  mutant "readings from before the stream moves count" src/tone/stream_timeline.h \
    'open_ = open_ || moved;' 'open_ = true;' tone_tests
  tenfold "the jump guard's distance" src/tone/stream_timeline.h \
    'kFarSeconds = ' '0.030' '0.300' '0.003' tone_tests
  mutant "the jump guard never restarts" src/tone/stream_timeline.cpp \
    $'far_ = 0;\n    return Verdict::Moved;' $'far_ = 0;\n    return Verdict::InDoubt;' tone_tests
  tenfold "far readings in a row" src/tone/stream_timeline.h \
    'kFarInARow = ' '2' '20' '1' tone_tests
  tenfold "the lag filter's rank (second highest)" src/tone/stream_timeline.h \
    'kRank = ' '2' '20' '1' tone_tests
  tenfold "the lag filter's window" src/tone/stream_timeline.h \
    'kWindow = ' '32' '320' '3' tone_tests
  tenfold "the give-way of the lag filter" src/tone/stream_timeline.h \
    'kGiveWayPerSecond = ' '150e-6' '1500e-6' '15e-6' tone_tests
  mutant "the lag filter never gives way" src/tone/stream_timeline.h \
    'kGiveWayPerSecond = 150e-6' 'kGiveWayPerSecond = 0' tone_tests
  tenfold "the rounding window" src/tone/mark_placer.h \
    'kRoundingFrames = ' '4' '40' '0' tone_tests
  tenfold "the nudge share" src/tone/mark_placer.h 'kNudgeShare = ' '4' '40' '1' tone_tests
  tenfold "the nudge's cap" src/tone/mark_placer.h 'kNudgeSeconds = ' '0.001' '0.010' '0.0001' \
    tone_tests
  tenfold "the jump to the timeline" src/tone/mark_placer.h \
    'kJumpSeconds = ' '0.050' '0.500' '0.005' tone_tests
  mutant "a sequence far ahead is only nudged" src/tone/mark_placer.cpp \
    'start = off > jump ? aim : kept + pullFor(off, mark);' 'start = kept + pullFor(off, mark);' \
    tone_tests
  tenfold "the catch-up threshold" src/tone/mark_placer.h \
    'kCatchUpSeconds = ' '0.005' '0.050' '0.0005' tone_tests
  tenfold "the catch-up share of a gap" src/tone/mark_placer.h \
    'kCatchUpShare = ' '3' '30' '1' tone_tests
  mutant "gaps inside a character are pulled too" src/tone/mark_placer.cpp \
    $'if (!mark.startsCharacter) {\n        return 0;\n    }' '' tone_tests
  mutant "a late stretch hurries" src/tone/mark_placer.cpp \
    'const std::int64_t aim = target + stretchLate_;' 'const std::int64_t aim = target;' \
    tone_tests
  mutant "a stretch that waited for its stream keeps the wait" src/tone/mark_placer.cpp \
    'std::max<std::int64_t>(p.shift - waited, 0);' 'std::max<std::int64_t>(p.shift - 0 * waited, 0);' \
    tone_tests
  mutant "marks waiting for the clock are not stamped" src/tone/sidetone_renderer.cpp \
    'p.waitingSince = now;' '' tone_tests
  mutant "after a rest no letter gap is kept" src/tone/mark_placer.cpp \
    'start = std::max(target, end_ + framesIn(gap, frameRate_));' 'start = target;' tone_tests
  mutant "the sequence's anchor set at every mark" src/tone/mark_placer.cpp \
    'if (!known_ || p.start != sequenceFrame(mark.start)) {' 'if (true) {' tone_tests
  mutant "a cut does not end the sequence" src/tone/mark_placer.cpp \
    'end_ = std::min(end_, frame);' '' tone_tests
  tenfold "placing ahead" src/tone/sidetone_renderer.h \
    'kPlaceAheadSeconds = ' '0.020' '0.200' '0.002' tone_tests
  tenfold "the edge ramp" src/tone/sidetone_renderer.h 'kEdgeSeconds = ' '0.005' '0.050' '0.0005' \
    tone_tests
  # How the output is run
  tenfold "resting after silence" src/tone/output_policy.h \
    'kRestAfterSeconds = ' '2.0' '20.0' '0.2' tone_tests
  tenfold "the refill interval" src/tone/output_policy.h 'kRefillMs = ' '10' '100' '1' tone_tests
  tenfold "the refill spread" src/tone/output_policy.h 'kRefillSpreadMs = ' '4' '40' '0' tone_tests
  tenfold "refills while a stream starts" src/tone/output_policy.h \
    'kRefillStartingMs = ' '1' '10' '0' tone_tests
  mutant "a device that stands still never rests" src/tone/output_policy.cpp \
    'toSeconds(position.now - *quietSince_) >= kRestAfterSeconds);' 'false);' tone_tests
  tenfold "the buffer's floor" src/tone/output_policy.h \
    'kFloorSeconds = ' '0.080' '0.800' '0.008' tone_tests
  tenfold "the buffer's ceiling" src/tone/output_policy.h \
    'kMostSeconds = ' '0.300' '3.000' '0.030' tone_tests
  tenfold "the buffer's growth" src/tone/output_policy.h 'kGrowth = ' '1.5' '15' '0.15' tone_tests
  tenfold "the close call" src/tone/output_policy.h \
    'kCloseCallShare = ' '0.1' '1.0' '0.01' tone_tests
  tenfold "the late fill" src/tone/output_policy.h 'kLateFillShare = ' '0.5' '5' '0.05' tone_tests
  tenfold "the calm before the buffer comes down" src/tone/output_policy.h \
    'kCalmSeconds = ' '600' '6000' '60' tone_tests
  tenfold "the grant's tolerance" src/tone/output_policy.h \
    'kGrantTolerance = ' '0.1' '1.0' '0.01' tone_tests
  tenfold "the most that is asked" src/tone/output_policy.h \
    'kMostAskShare = ' '4' '40' '0.4' tone_tests
  # What the latency means
  tenfold "the hand-over margin" src/tone/latency_plan.h \
    'kHandOverMargin = ' '0.1' '1.0' '0.01' tone_tests
  tenfold "the longest hand-over" src/tone/latency_plan.h \
    'kHandOverMost = ' '2.0' '20.0' '0.2' tone_tests
  tenfold "the delay before the output says" src/tone/latency_plan.h \
    'kDelayBeforeKnown = ' '0.1' '1.0' '0.01' tone_tests
  tenfold "the buffer below the latency" src/tone/latency_plan.h \
    'kBufferBelowLatency = ' '0.060' '0.600' '0.006' tone_tests
  tenfold "the latency's longest buffer" src/tone/latency_plan.h \
    'kLongestBuffer = ' '0.300' '3.000' '0.030' tone_tests
  tenfold "the longest latency" src/tone/latency_plan.h \
    'kLongestLatencyMs = ' '3600e3' '36000e3' '360e3' tone_tests
  # The radio's delay, heard in the radio's audio
  mutant "the delay taken the wrong way round" src/tone/delay_estimator.cpp \
    'matches_.push_back({edge.at - (edge.down ? nearest->start : nearest->end), edge.down});' \
    'matches_.push_back({(edge.down ? nearest->start : nearest->end) - edge.at, edge.down});' \
    radio_delay_tests
  mutant "a key-down matched with a key-up" src/tone/delay_estimator.cpp \
    'const double t = edge.down ? s.start : s.end;' 'const double t = edge.down ? s.end : s.start;' \
    radio_delay_tests
  mutant "the envelope filter's delay off by a frame" src/tone/edge_finder.cpp \
    'delay_(3.0 * static_cast<double>(length_ - 1) / 2),' \
    'delay_(3.0 * static_cast<double>(length_) / 2),' radio_delay_tests
  mutant "a key-up placed without the filter's delay" src/tone/edge_finder.cpp \
    'out.push_back({crossing(count_ - back, count_, half, false) - delay_, false});' \
    'out.push_back({crossing(count_ - back, count_, half, false), false});' radio_delay_tests
  mutant "the key-ups' delay taken with the key-downs'" src/tone/delay_estimator.cpp \
    'e.delayMs = downMedian;' 'e.delayMs = (downMedian + upMedian) / 2;' radio_delay_tests
  tenfold "a radio's lengthened marks" src/tone/delay_estimator.h \
    'kLongestLengtheningMs = ' '20' '200' '2' radio_delay_tests
  tenfold "the edge gate" src/tone/delay_estimator.h 'kGateMs = ' '8' '80' '0.8' radio_delay_tests
  tenfold "the edges an estimate needs" src/tone/delay_estimator.h \
    'kLeast = ' '10' '100' '1' radio_delay_tests
  tenfold "the spread an estimate allows" src/tone/delay_estimator.h \
    'kMostSpreadMs = ' '2.0' '20.0' '0.2' radio_delay_tests
  tenfold "the longest delay looked for" src/tone/delay_estimator.h \
    'kLongestDelayMs = ' '3000' '30000' '300' radio_delay_tests
  tenfold "the correlation a match needs" src/tone/delay_estimator.h \
    'kLeastCorrelation = ' '0.7' '7' '0.07' radio_delay_tests
  tenfold "the coarse search's window" src/tone/radio_delay.h \
    'kSearchWindowSeconds = ' '4.0' '40.0' '0.4' radio_delay_tests
  tenfold "a change of delay that unlocks" src/tone/radio_delay.h \
    'kRelockMs = ' '8' '80' '0.8' radio_delay_tests
  # Following the measured delay
  tenfold "the change that is jitter" src/tone/latency_follower.h \
    'kLeastChangeMs = ' '2' '20' '0.2' tone_tests
  tenfold "the uncertainty followed" src/tone/latency_follower.h \
    'kMostUncertainMs = ' '1' '10' '0.1' tone_tests
  mutant "the sidetone's own monitor listened to" src/tone/latency_follower.cpp \
    'return !outputId.empty() && inputId == outputId + ".monitor";' 'return false;' tone_tests
  mutant "the latency follows inside a word" src/tone/monitor_player.cpp \
    'LatencyFollower::next(latencyMs_, estimate, mirror_.betweenWords(now()))' \
    'LatencyFollower::next(latencyMs_, estimate, true)' tone_player_tests
  mutant "a word's end never looked for" src/tone/monitor_player.cpp \
    'waitMs = std::min(waitMs.value_or(kFollowRecheckMs), kFollowRecheckMs);' '' \
    tone_player_tests
  mutant "the keyer's own timeline shifted by the latency" src/tone/monitor_player.cpp \
    'radio_.keyerStream(events, forwardedAt);' 'radio_.keyerStream(events, forwardedAt + shift_);' \
    tone_player_tests
  # The radio choice's file
  mutant "any pitch read" src/shell/radio_choice.cpp \
    'hz < RadioChoice::kLowestPitchHz || hz > RadioChoice::kHighestPitchHz) {' 'false) {' \
    settings_tests
  mutant "an id's line end kept" src/shell/radio_choice.cpp \
    "std::erase_if(input, [](char c) { return c == '\\n' || c == '\\r'; });" '' settings_tests
  mutant "the radio choice written into the settings folder's other file" \
    src/shell/settings_file.cpp 'const QString kRadioName = QStringLiteral("VanTrelRadio.ini");' \
    'const QString kRadioName = QStringLiteral("VanTrel.ini");' main_window_tests
}

only=${1:-}
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
scratch=$(mktemp -d /tmp/vantrel-mutants.XXXXXX)
if [ -z "${KEEP:-}" ]; then
  trap 'rm -rf "$scratch"' EXIT
else
  echo "scratch copy: $scratch"
fi

# The scratch copy: every file git knows or would add, as it is now.
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
  tar --null -T - -cf - | tar -xf - -C "$scratch"

# Gather the cases first, to build their programs once before anything is broken.
names=() files=() finds=() puts=() programs=()
mutant() {
  [[ $1 =~ $only ]] || return 0
  [ -z "${PROGRAM:-}" ] || [ "$5" = "$PROGRAM" ] || return 0
  names+=("$1") files+=("$2") finds+=("$3") puts+=("$4") programs+=("$5")
}
# A constant made ten times larger and ten times smaller: two cases.
#   tenfold "what" FILE 'text before the value' VALUE LARGER SMALLER TEST-PROGRAM
tenfold() {
  mutant "$1 x10" "$2" "$3$4;" "$3$5;" "$7"
  mutant "$1 /10" "$2" "$3$4;" "$3$6;" "$7"
}
cases
if [ ${#names[@]} -eq 0 ]; then
  echo "no case matches '$only'" >&2
  exit 2
fi
mapfile -t targets < <(printf '%s\n' "${programs[@]}" | sort -u)
if [ -n "${STALE:-}" ]; then
  stale=0
  for i in "${!names[@]}"; do
    found=$(FIND="${finds[$i]}" perl -0777 -ne '$n = () = /\Q$ENV{FIND}\E/g; print $n' "${files[$i]}")
    [ "$found" = 1 ] || { echo "STALE   ${names[$i]}: the text occurs $found times in ${files[$i]}"; stale=$((stale + 1)); }
  done
  echo "${#names[@]} cases, $stale stale"
  [ "$stale" -eq 0 ]
  exit
fi

build=$scratch/build
echo "building ${targets[*]} in a scratch copy..."
cmake -S "$scratch" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]}" >"$scratch/build.log" 2>&1 || {
  tail -20 "$scratch/build.log"
  echo "the unbroken tree does not build" >&2
  exit 1
}

program_path() { find "$build" -name "$1" -type f -perm -u+x | head -n 1; }
run_program() {  # program -> its exit status
  local path
  path=$(program_path "$1")
  # The first failure is enough: a caught case ends early.
  (cd "$scratch" && QT_QPA_PLATFORM=offscreen GTEST_FAIL_FAST=1 timeout 600 \
    ./scripts/with-sound-server.sh "$path" >"$scratch/run.log" 2>&1)
}
for t in "${targets[@]}"; do
  if ! run_program "$t"; then
    tail -20 "$scratch/run.log"
    echo "$t fails on the unbroken tree: fix that first" >&2
    exit 1
  fi
done

caught=0 total=${#names[@]} problems=0
for i in "${!names[@]}"; do
  file=$scratch/${files[$i]}
  cp "$file" "$scratch/original"
  found=$(FIND="${finds[$i]}" perl -0777 -ne '$n = () = /\Q$ENV{FIND}\E/g; print $n' "$file")
  if [ "$found" != 1 ]; then
    echo "STALE   ${names[$i]}: the text occurs $found times in ${files[$i]}"
    problems=$((problems + 1))
    continue
  fi
  FIND="${finds[$i]}" PUT="${puts[$i]}" perl -0777 -i -pe 's/\Q$ENV{FIND}\E/$ENV{PUT}/' "$file"
  if ! cmake --build "$build" --target "${programs[$i]}" >"$scratch/build.log" 2>&1; then
    echo "NOBUILD ${names[$i]}: the change does not compile (see the table)"
    problems=$((problems + 1))
  elif run_program "${programs[$i]}"; then
    echo "MISSED  ${names[$i]} (${programs[$i]} passed)"
  else
    echo "caught  ${names[$i]}"
    caught=$((caught + 1))
  fi
  cp "$scratch/original" "$file"
done
# Leave the scratch build as the tree is, for a KEEP=1 look.
cmake --build "$build" --target "${targets[@]}" >/dev/null 2>&1 || true

echo "$caught of $total caught"
[ "$problems" -eq 0 ] && [ "$caught" -eq "$total" ]
