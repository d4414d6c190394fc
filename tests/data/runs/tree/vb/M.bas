' note
