#pragma once

// User input that the cooperative yield holds back must reach the program
// once it is idle again. On X11 the toolkit keeps such input in its own queue
// and looks at that queue again only when the next event from the X server
// arrives: a click made during a long pass would otherwise wait, unseen,
// until the user moved the mouse or pressed a key.

// Call after events were processed with user input excluded. The next time
// the event loop is about to wait for events, the program sends itself an
// empty X event, which makes the toolkit deliver what it held.
void InputMayBeHeld();
