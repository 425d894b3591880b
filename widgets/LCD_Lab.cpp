namespace widgets {}
