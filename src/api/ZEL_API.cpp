// The exported functions: a thin facade over the engine.
