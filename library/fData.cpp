namespace library {}
