namespace tap {}
