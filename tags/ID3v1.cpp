namespace tags {}
