#!/bin/sh
# What a user would otherwise write: a state file toggled by hand.
state="$LUMIVARDEN_REGISTRY_DIR/lamp-state"
if [ "$(cat "$state" 2>/dev/null)" = 1 ]; then
    echo 2 > "$state"
else
    echo 1 > "$state"
fi
