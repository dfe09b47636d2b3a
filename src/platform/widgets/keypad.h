#pragma once
// The keypad's Enter does whatever Return does, in every window: a menu
// short-cut given as Return (with or without modifiers) answers to the
// keypad's Enter as well. Key handlers compare both keys themselves.

// Watches every action of the application from now on; calling it again
// changes nothing.
void installKeypadEnter();
